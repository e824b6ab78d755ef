import QtQuick

// One headline figure with its recent history.
Card {
    id: card
    property string title
    property string value
    property string caption
    property var series: []
    property real maximum: -1
    property color lineColor: Theme.accent

    spacing: 4
    Text {
        text: card.title
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        width: parent.width
        elide: Text.ElideRight
    }
    Text {
        text: card.value
        color: Theme.text
        font.pixelSize: 24
        font.bold: true
        width: parent.width
        elide: Text.ElideRight
    }
    Text {
        visible: card.caption !== ""
        text: card.caption
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        width: parent.width
        wrapMode: Text.WordWrap
    }
    Sparkline {
        width: parent.width
        visible: card.series && card.series.length > 1
        values: card.series
        maximum: card.maximum
        lineColor: card.lineColor
    }
}
