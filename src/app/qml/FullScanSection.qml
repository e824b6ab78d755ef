import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Dialogs
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Tam Tarama")
    subtitle: L10n.string("Donanımı, anlık durumu, hızlı ve derin sağlık testini (isteğe bağlı ağ testleriyle) tek bir sonuçta toplar. Son 12 tarama yerel geçmişte tutulur.")

    FileDialog {
        id: exportDialog
        title: L10n.string("Raporu dışa aktar")
        fileMode: FileDialog.SaveFile
        defaultSuffix: "md"
        nameFilters: [L10n.string("Markdown raporu") + " (*.md)"]
        currentFile: "file:///" + FullScan.defaultReportName
        onAccepted: FullScan.exportReport(selectedFile)
    }

    OperationPanel {
        objectName: "fullScan"
        width: parent.width
        operation: FullScan.scan
        heading: L10n.string("Tam Tarama")
        description: L10n.string("Yaklaşık 9 dakika sürer. Mac prize bağlı ve hava akışı açıkken başlat.")
        startText: FullScan.includeNetwork ? L10n.string("Cloudflare ve bağlantı testleriyle başlat")
                                           : L10n.string("İnternet testlerini atlayarak başlat")
        options: Column {
            spacing: 4
            enabled: !FullScan.scan.isRunning
            CheckBox {
                objectName: "includeNetwork"
                text: L10n.string("Tam taramaya internet testleri dahil edilsin mi?")
                checked: FullScan.includeNetwork
                onToggled: FullScan.includeNetwork = checked
            }
            CheckBox {
                objectName: "includeSpeed"
                leftPadding: 24
                enabled: FullScan.includeNetwork
                text: L10n.string("İnternet hız testini de çalıştır (yaklaşık 155 MB veri kullanır)")
                checked: FullScan.includeSpeed
                onToggled: FullScan.includeSpeed = checked
            }
        }
        onStartRequested: FullScan.start()
    }

    TestResult {
        width: parent.width
        hasResult: FullScan.hasResult
        heading: FullScan.resultTitle
        summary: FullScan.resultSummary
        groups: FullScan.resultGroups
    }

    Row {
        spacing: 10
        visible: FullScan.hasResult
        Button {
            objectName: "exportReport"
            text: L10n.string("Raporu dışa aktar…")
            onClicked: exportDialog.open()
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: FullScan.exportMessage
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
    }

    Card {
        width: parent.width
        Text {
            text: L10n.string("Tarama geçmişi")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            visible: FullScan.history.count === 0
            text: L10n.string("Henüz sonuç yok.")
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: FullScan.history
            delegate: ItemDelegate {
                required property string key
                required property string title
                required property string detail
                width: parent ? parent.width : 0
                highlighted: key === FullScan.selectedID
                text: title + " · " + detail
                Accessible.name: text
                onClicked: FullScan.select(key)
            }
        }
    }

    Card {
        width: parent.width
        Text {
            text: L10n.string("Düzenli tarama hatırlatıcısı")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        ComboBox {
            id: cadence
            objectName: "reminderDays"
            readonly property var days: [0, 1, 7, 14, 30, 90]
            model: [L10n.string("Kapalı"), L10n.string("Her gün"), L10n.string("7 günde bir"),
                    L10n.string("14 günde bir"), L10n.string("30 günde bir"), L10n.string("90 günde bir")]
            currentIndex: Math.max(0, days.indexOf(FullScan.reminderDays))
            onActivated: index => FullScan.reminderDays = days[index]
            Accessible.name: L10n.string("Düzenli tarama hatırlatıcısı")
        }
        Text {
            text: FullScan.reminderText
            width: parent.width
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
    }
}
