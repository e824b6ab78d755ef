import QtQuick
import Kestrum
import QtQuick.Controls

// A section's page: its title, then its content in a scrolling column.
Item {
    id: page
    property string title
    property string subtitle
    default property alias content: body.data

    Flickable {
        id: flick
        anchors.fill: parent
        contentWidth: width
        contentHeight: layout.implicitHeight + 48
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        Column {
            id: layout
            x: 28
            y: 24
            width: flick.width - 56
            spacing: 18

            Column {
                width: parent.width
                spacing: 4
                Text {
                    text: page.title
                    font.pixelSize: Theme.titleSize
                    font.bold: true
                    color: Theme.text
                }
                Text {
                    width: parent.width
                    visible: page.subtitle !== ""
                    text: page.subtitle
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                    wrapMode: Text.WordWrap
                }
            }
            Column {
                id: body
                width: parent.width
                spacing: 16
            }
        }
    }
}
