import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

// The folder's children as rectangles with areas in proportion to their sizes, coloured by what they
// hold. Only tiles that can be seen are drawn; the rest are one hatched tile that says how many it
// holds. Hover shows a tile's details, a double click opens its folder.
Item {
    id: root
    required property StorageTreemapViewModel map

    onWidthChanged: map.setSize(width, height)
    onHeightChanged: map.setSize(width, height)
    Component.onCompleted: map.setSize(width, height)
    Accessible.role: Accessible.List
    Accessible.name: map.accessibleSummary

    Repeater {
        model: root.map.tiles
        delegate: Rectangle {
            id: tile
            required property string key
            required property real tileX
            required property real tileY
            required property real tileWidth
            required property real tileHeight
            required property string name
            required property string sizeText
            required property string filesText
            required property string category
            required property bool isOthers
            required property bool showsLabels
            required property string tooltip
            required property string accessibleName

            x: tileX
            y: tileY
            width: tileWidth
            height: tileHeight
            radius: 10
            color: Theme.tileColor(category)
            clip: true
            activeFocusOnTab: true
            border.width: activeFocus ? 2 : 0
            border.color: Theme.focus
            Accessible.role: Accessible.ListItem
            Accessible.name: accessibleName
            Keys.onReturnPressed: root.map.open(key)
            Keys.onEnterPressed: root.map.open(key)

            // The merged tile is hatched, so that it never reads as one big child.
            Loader {
                anchors.fill: parent
                active: tile.isOthers
                sourceComponent: Canvas {
                    onWidthChanged: requestPaint()
                    onHeightChanged: requestPaint()
                    onPaint: {
                        const ctx = getContext("2d")
                        ctx.reset()
                        ctx.strokeStyle = Theme.hatch
                        ctx.globalAlpha = 0.22
                        ctx.lineWidth = 2
                        for (let d = -height; d < width; d += 9) {
                            ctx.beginPath()
                            ctx.moveTo(d, height)
                            ctx.lineTo(d + height, 0)
                            ctx.stroke()
                        }
                    }
                }
            }

            Column {
                visible: tile.showsLabels
                x: 10
                y: 10
                width: parent.width - 20
                spacing: 2
                Text { width: parent.width; text: tile.name; color: Theme.onColor; font.bold: true; font.pixelSize: Theme.bodySize; elide: Text.ElideRight }
                Text { width: parent.width; text: tile.sizeText; color: Theme.onColor; font.pixelSize: Theme.smallSize + 1; elide: Text.ElideRight }
                Text { width: parent.width; text: tile.filesText; color: Theme.onColor; font.pixelSize: Theme.smallSize; elide: Text.ElideRight }
            }

            MouseArea {
                id: pointer
                anchors.fill: parent
                hoverEnabled: true
                onDoubleClicked: root.map.open(tile.key)
            }
            ToolTip.visible: pointer.containsMouse || tile.activeFocus
            ToolTip.delay: 400
            ToolTip.text: tile.tooltip
        }
    }
}
