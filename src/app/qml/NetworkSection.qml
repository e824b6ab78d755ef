import QtQuick
import QtQuick.Layouts

SectionPage {
    id: page
    title: l10n.string("Ağ ve Wi-Fi")
    subtitle: l10n.string("Bağlantı yolu, trafik ve bağlantı ayrıntıları")

    GridLayout {
        width: parent.width
        columns: 2
        columnSpacing: 16
        rowSpacing: 16
        MetricCard {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            title: l10n.string("İndirme")
            value: monitor.network.downloadText || ""
            caption: monitor.network.trafficNote || ""
            series: monitor.series.download
            lineColor: "#1f9d8b"
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            title: l10n.string("Yükleme")
            value: monitor.network.uploadText || ""
            caption: monitor.network.trafficNote || ""
            series: monitor.series.upload
            lineColor: "#c2571a"
        }
    }

    GroupCard {
        width: parent.width
        group: monitor.network
    }
}
