import QtQuick
import Kestrum

// A name, its size and a bar in proportion.
Column {
    id: sizeRow
    property string name
    property string detail
    property real fraction: 0
    property color barColor: Theme.accent
    spacing: 3
    Accessible.role: Accessible.ListItem
    Accessible.name: name + ", " + detail

    Item {
        width: parent.width
        height: nameText.implicitHeight
        Text { id: nameText; width: parent.width * 0.55; text: sizeRow.name; elide: Text.ElideMiddle; color: Theme.text; font.pixelSize: Theme.bodySize }
        Text { x: parent.width * 0.55; width: parent.width * 0.45; horizontalAlignment: Text.AlignRight; text: sizeRow.detail; elide: Text.ElideLeft; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
    }
    Rectangle {
        width: parent.width
        height: 5
        radius: 2
        color: Theme.track
        Rectangle { width: Math.max(2, parent.width * Math.min(1, sizeRow.fraction)); height: parent.height; radius: 2; color: sizeRow.barColor }
    }
}
