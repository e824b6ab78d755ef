import QtQuick
import Kestrum
import Kestrum.Presentation

// One headline figure with its recent history.
Card {
    id: card
    required property MetricFigure figure
    property color lineColor: Theme.accent

    spacing: 4
    Accessible.role: Accessible.Grouping
    Accessible.name: figure.accessibleText

    Text {
        text: card.figure.title
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        width: parent.width
        elide: Text.ElideRight
    }
    Text {
        text: card.figure.value
        color: Theme.text
        font.pixelSize: Theme.figureSize
        font.bold: true
        width: parent.width
        elide: Text.ElideRight
    }
    Text {
        visible: text !== ""
        text: card.figure.caption
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        width: parent.width
        wrapMode: Text.WordWrap
    }
    Sparkline {
        width: parent.width
        visible: card.figure.series.length > 1
        values: card.figure.series
        maximum: card.figure.maximum
        lineColor: card.lineColor
    }
}
