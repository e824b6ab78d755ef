import QtQuick

// A name, its size and a bar in proportion.
Column {
    property string name
    property string detail
    property real fraction: 0
    spacing: 3

    Item {
        width: parent.width
        height: nameText.implicitHeight
        Text { id: nameText; width: parent.width * 0.55; text: name; elide: Text.ElideMiddle; color: Theme.text; font.pixelSize: Theme.bodySize }
        Text { x: parent.width * 0.55; width: parent.width * 0.45; horizontalAlignment: Text.AlignRight; text: detail; elide: Text.ElideLeft; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
    }
    Rectangle {
        width: parent.width
        height: 5
        radius: 2
        color: "#eef1f6"
        Rectangle { width: Math.max(2, parent.width * Math.min(1, fraction)); height: parent.height; radius: 2; color: Theme.accent }
    }
}
