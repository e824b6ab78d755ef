import QtQuick
import Kestrum

// A panel whose content stacks vertically.
Rectangle {
    id: card
    default property alias content: column.data
    property alias spacing: column.spacing
    property int padding: 16

    color: Theme.card
    radius: 10
    border.color: Theme.border
    implicitHeight: column.implicitHeight + 2 * padding

    Column {
        id: column
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: card.padding }
        spacing: 8
    }
}
