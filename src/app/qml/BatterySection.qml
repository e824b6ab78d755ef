import QtQuick
import Kestrum
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Batarya")
    subtitle: L10n.string("Şarj, güç kaynağı, sağlık ve elektriksel değerler")

    Card {
        width: parent.width
        visible: Battery.isPresent
        Accessible.role: Accessible.Grouping
        Accessible.name: Battery.figure.accessibleText
        Text {
            text: Battery.figure.value
            font.pixelSize: Theme.titleSize + 12
            font.bold: true
            color: Theme.text
        }
        Text {
            text: Battery.statusLine
            visible: text !== ""
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Rectangle {
            width: Math.min(parent.width, 420)
            height: 22
            radius: 6
            color: Theme.track
            border.color: Theme.border
            visible: Battery.hasCharge
            Rectangle {
                width: parent.width * Battery.charge
                height: parent.height
                radius: 6
                color: Battery.isLow ? Theme.busy : Theme.seriesBattery
            }
        }
        Sparkline {
            width: parent.width
            values: Battery.figure.series
            maximum: Battery.figure.maximum
            lineColor: Theme.seriesBattery
            visible: Battery.figure.series.length > 1
        }
    }

    GroupCard {
        width: parent.width
        group: Battery.group
    }
}
