import QtQuick
import Kestrum

// Why a value is missing: shown in place of the value, never as zero.
Row {
    id: note
    property alias text: label.text
    spacing: 6
    width: parent ? parent.width : implicitWidth

    Image {
        source: "image://symbol/questionmark.circle" + Theme.symbolSuffix
        sourceSize: Qt.size(16, 16)
        width: 16
        height: 16
        y: 1
    }
    Text {
        id: label
        width: note.width - 22
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        wrapMode: Text.WordWrap
    }
}
