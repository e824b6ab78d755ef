import QtQuick
import Kestrum
import Kestrum.Presentation

// A test's latest stored result: its heading and score line, then its groups; or a short note that
// there is none yet.
Column {
    id: result
    property bool hasResult
    property string heading
    property string summary
    property KeyedListModel groups
    spacing: 12

    Text {
        visible: !result.hasResult
        text: L10n.string("Henüz sonuç yok.")
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
    }
    Column {
        visible: result.hasResult
        width: parent.width
        spacing: 4
        Accessible.role: Accessible.StaticText
        Accessible.name: result.heading + ". " + result.summary
        Text {
            text: result.heading
            width: parent.width
            elide: Text.ElideRight
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            text: result.summary
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.bodySize
            color: Theme.text
        }
    }
    Repeater {
        model: result.hasResult ? result.groups : null
        delegate: GroupCard {
            width: result.width
        }
    }
}
