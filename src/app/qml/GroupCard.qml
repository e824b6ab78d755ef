import QtQuick
import Kestrum
import Kestrum.Presentation

// A metric group: its rows, or the reason it could not be read.
Card {
    id: card
    required property MetricGroup group

    Accessible.role: Accessible.Grouping
    Accessible.name: group.title

    Text {
        visible: text !== ""
        text: card.group.title
        font.pixelSize: Theme.headingSize
        font.bold: true
        color: Theme.text
        width: parent.width
        elide: Text.ElideRight
    }
    AvailabilityNote {
        visible: card.group.note !== ""
        text: card.group.note
    }
    Repeater {
        model: card.group.rows
        delegate: Item {
            id: row
            required property string label
            required property string value
            width: card.width - 2 * card.padding
            height: Math.max(labelText.implicitHeight, valueText.implicitHeight) + 2
            Accessible.role: Accessible.StaticText
            Accessible.name: row.label + ": " + row.value
            Text {
                id: labelText
                width: parent.width * 0.45 - 8
                text: row.label
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
                wrapMode: Text.WordWrap
            }
            Text {
                id: valueText
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
