import QtQuick

// The folder's children as rectangles with areas in proportion to their sizes. Each tile is inset by 2
// and rounded by 10; its labels appear only where at least 92 × 58 remain.
Item {
    id: map
    property var tiles: []

    Repeater {
        model: map.tiles
        delegate: Rectangle {
            x: modelData.x * map.width + 2
            y: modelData.y * map.height + 2
            width: Math.max(0, modelData.width * map.width - 4)
            height: Math.max(0, modelData.height * map.height - 4)
            radius: 10
            color: modelData.color
            clip: true

            Column {
                visible: parent.width >= 92 && parent.height >= 58
                x: 10
                y: 10
                width: parent.width - 20
                spacing: 2
                Text { width: parent.width; text: modelData.name; color: "white"; font.bold: true; font.pixelSize: Theme.bodySize; elide: Text.ElideRight }
                Text { width: parent.width; text: modelData.sizeText; color: "white"; font.pixelSize: Theme.smallSize + 1; elide: Text.ElideRight }
                Text { width: parent.width; text: modelData.filesText; color: Qt.rgba(1, 1, 1, 0.85); font.pixelSize: Theme.smallSize; elide: Text.ElideRight }
            }
        }
    }
}
