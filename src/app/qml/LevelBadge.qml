import QtQuick

// A coloured pill with a health level's word.
Rectangle {
    property string level: "unavailable"
    property alias text: label.text

    implicitWidth: label.implicitWidth + 20
    implicitHeight: label.implicitHeight + 8
    radius: height / 2
    color: Theme.levelColor(level)

    Text {
        id: label
        anchors.centerIn: parent
        color: "white"
        font.pixelSize: Theme.smallSize + 1
        font.bold: true
    }
}
