import QtQuick
import Kestrum

// A coloured pill with a health level's word.
Rectangle {
    property string level: "unavailable"
    property alias text: label.text

    implicitWidth: label.implicitWidth + 20
    implicitHeight: label.implicitHeight + 8
    radius: height / 2
    color: Theme.levelColor(level)
    Accessible.role: Accessible.StaticText
    Accessible.name: label.text

    Text {
        id: label
        anchors.centerIn: parent
        color: Theme.onColor
        font.pixelSize: Theme.smallSize + 1
        font.bold: true
    }
}
