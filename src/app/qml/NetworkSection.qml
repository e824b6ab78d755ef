import QtQuick
import Kestrum
import QtQuick.Controls
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

    OperationPanel {
        objectName: "qualityTest"
        width: parent.width
        operation: Network.quality
        heading: L10n.string("Gecikme ve Kararlılık Testi")
        startText: L10n.string("Testi başlat")
        onStartRequested: Network.startQualityTest()
    }
    GroupCard {
        width: parent.width
        visible: Network.hasQualityResult
        group: Network.qualityResult
    }

    OperationPanel {
        objectName: "speedTest"
        width: parent.width
        operation: Network.speed
        heading: L10n.string("İnternet Hız Testi")
        startText: L10n.string("Hız testi…")
        // The speed test uses real data: it starts only from the dialog where the user agreed to it.
        onStartRequested: consent.open()
    }
    GroupCard {
        width: parent.width
        visible: Network.hasSpeedResult
        group: Network.speedResult
    }

    Dialog {
        id: consent
        objectName: "speedConsent"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(520, page.width - 40)
        modal: true
        title: L10n.string("Cloudflare hız testi başlatılsın mı?")
        closePolicy: Popup.CloseOnEscape

        Column {
            width: parent.width
            spacing: 10
            RadioButton {
                id: quickMode
                objectName: "quickMode"
                checked: true
                width: parent.width
                text: Network.quickSpeedText
            }
            RadioButton {
                objectName: "comprehensiveMode"
                width: parent.width
                text: Network.comprehensiveSpeedText
            }
            Text {
                width: parent.width
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
                text: L10n.string("Test yalnız açık onayından sonra Cloudflare’ın hız testi uçlarına şifreli istekler gönderir. Isınma turu sonuca katılmaz; son kararlı turların ortancası kullanılır. Hızlı test en fazla yaklaşık 155 MB, kapsamlı test yaklaşık 185 MB veri kullanabilir.")
            }
        }
        footer: DialogButtonBox {
            Button {
                objectName: "agree"
                text: L10n.string("Kabul Ediyorum ve Başlat")
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
            Button {
                text: L10n.string("Vazgeç")
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
        onAccepted: Network.startSpeedTest(!quickMode.checked)
    }
}
