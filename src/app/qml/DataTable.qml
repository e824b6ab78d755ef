import QtQuick
import Kestrum

// A table of text: a header row, then one row per list entry, with the given roles as its cells. Each
// column takes its share of the width from `shares` when it gives one per role; otherwise the first
// column takes `firstShare` and the others share the rest.
Column {
    id: table
    property var columns: []
    property var roles: []
    property alias model: rows.model
    property real firstShare: 0.34
    property var shares: []
    spacing: 2
    width: parent ? parent.width : 0

    function cellWidth(index) {
        const count = Math.max(1, table.roles.length)
        if (table.shares.length === table.roles.length)
            return table.width * table.shares[index]
        if (count === 1)
            return table.width
        return index === 0 ? table.width * table.firstShare
                           : table.width * (1 - table.firstShare) / (count - 1)
    }

    Row {
        Repeater {
            model: table.columns
            delegate: Text {
                required property int index
                required property string modelData
                width: table.cellWidth(index)
                text: modelData
                rightPadding: 8
                elide: Text.ElideRight
                color: Theme.secondaryText
                font.pixelSize: Theme.smallSize
                font.bold: true
            }
        }
    }
    Rectangle {
        width: table.width
        height: 1
        color: Theme.border
    }
    Repeater {
        id: rows
        delegate: Row {
            id: line
            property var entry: model
            Accessible.role: Accessible.Row
            Accessible.name: {
                let parts = []
                for (let i = 0; i < table.roles.length; ++i)
                    parts.push((table.columns[i] || "") + " " + line.entry[table.roles[i]])
                return parts.join(", ")
            }
            Repeater {
                model: table.roles
                delegate: Text {
                    required property int index
                    required property string modelData
                    width: table.cellWidth(index)
                    text: line.entry[modelData]
                    rightPadding: 8
                    elide: Text.ElideRight
                    color: Theme.text
                    font.pixelSize: Theme.bodySize
                    font.bold: index === 0
                    topPadding: 3
                    bottomPadding: 3
                }
            }
        }
    }
}
