import QtQuick
import QtQuick.Layouts

SectionPage {
    id: page
    title: l10n.string("Batarya")
    subtitle: l10n.string("Şarj, güç kaynağı, sağlık ve elektriksel değerler")

    Card {
        width: parent.width
        visible: monitor.battery.isPresent
        Text {
            text: monitor.battery.chargeText
            font.pixelSize: 34
            font.bold: true
            color: Theme.text
        }
        Text {
            text: monitor.battery.rows && monitor.battery.rows.length > 2
                  ? monitor.battery.rows[1].value + " · " + monitor.battery.rows[2].label + ": " + monitor.battery.rows[2].value
                  : ""
            visible: text !== ""
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Rectangle {
            width: Math.min(parent.width, 420)
            height: 22
            radius: 6
            color: "#eef1f6"
            border.color: Theme.border
            Rectangle {
                width: parent.width * Math.max(0, Math.min(1, monitor.battery.charge || 0))
                height: parent.height
                radius: 6
                color: (monitor.battery.charge || 0) < 0.2 ? "#d63a2f" : "#2e9d57"
            }
        }
        Sparkline {
            width: parent.width
            values: monitor.series.battery
            maximum: 1
            lineColor: "#2e9d57"
            visible: monitor.series.battery.length > 1
        }
    }

    GroupCard {
        width: parent.width
        group: monitor.battery
    }
}
