import QtQuick
import Kestrum
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Ağ ve Wi-Fi")
    subtitle: L10n.string("Bağlantı yolu, trafik ve bağlantı ayrıntıları")

    GridLayout {
        width: parent.width
        columns: 2
        columnSpacing: 16
        rowSpacing: 16
        MetricCard {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            figure: Network.download
            lineColor: Theme.seriesDownload
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            figure: Network.upload
            lineColor: Theme.seriesUpload
        }
    }

    GroupCard {
        width: parent.width
        group: Network.group
    }
}
