import QtQuick

// A metric group: its rows, or the reason it could not be read.
Card {
    id: card
    property var group: ({})

    Text {
        visible: text !== ""
        text: card.group.title || ""
        font.pixelSize: Theme.headingSize
        font.bold: true
        color: Theme.text
        width: parent.width
        elide: Text.ElideRight
    }
    AvailabilityNote {
        visible: (card.group.note || "") !== ""
        text: card.group.note || ""
    }
    Repeater {
        model: card.group.rows ? card.group.rows.length : 0
        delegate: Item {
            readonly property var row: card.group.rows[index] || ({ label: "", value: "" })
            width: card.width - 2 * card.padding
            height: Math.max(label.implicitHeight, value.implicitHeight) + 2
            Text {
                id: label
                width: parent.width * 0.45 - 8
                text: row.label
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
                wrapMode: Text.WordWrap
            }
            Text {
                id: value
                x: parent.width * 0.45
                width: parent.width * 0.55
                text: row.value
                color: Theme.text
                font.pixelSize: Theme.bodySize
                wrapMode: Text.WordWrap
            }
        }
    }
}
