import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Window {
    id: settings
    title: l10n.string("Kestrum Ayarları")
    width: 520
    height: 600
    minimumWidth: 440
    minimumHeight: 460
    color: Theme.background
    visible: false

    readonly property var intervals: [1, 2, 5, 10, 30]
    readonly property var metrics: ["cpu", "memory", "battery", "network", "thermal", "health"]
    readonly property var metricTitles: [l10n.string("CPU"), l10n.string("RAM"), l10n.string("Batarya"), l10n.string("Ağ"), l10n.string("Termal"), l10n.string("Sağlık")]

    Flickable {
        anchors.fill: parent
        contentHeight: form.implicitHeight + 40
        clip: true
        ScrollBar.vertical: ScrollBar {}

        Column {
            id: form
            x: 20
            y: 20
            width: settings.width - 40
            spacing: 14

            Card {
                width: parent.width
                Text { text: l10n.string("İzleme"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Row {
                    spacing: 10
                    Text { text: l10n.string("Ölçüm aralığı"); color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                    ComboBox {
                        id: intervalBox
                        width: 140
                        model: settings.intervals.map(s => s + " " + l10n.string("sn"))
                        currentIndex: Math.max(0, settings.intervals.indexOf(monitor.sampleInterval))
                        onActivated: index => monitor.setSampleInterval(settings.intervals[index])
                    }
                }
                Switch {
                    text: l10n.string("Önemli sağlık uyarılarında bildirim gönder")
                    checked: monitor.notificationsEnabled
                    onToggled: monitor.setNotificationsEnabled(checked)
                }
                Text {
                    width: parent.width
                    visible: monitor.notificationStatusMessage !== ""
                    text: monitor.notificationStatusMessage
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
            }

            Card {
                width: parent.width
                Text { text: l10n.string("Sistem tepsisi"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Row {
                    spacing: 10
                    Text { text: l10n.string("Simgede gösterilen ölçüm"); color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                    ComboBox {
                        width: 160
                        model: settings.metricTitles
                        currentIndex: Math.max(0, settings.metrics.indexOf(trayChoices.primaryMetric))
                        onActivated: index => trayChoices.primaryMetric = settings.metrics[index]
                    }
                }
                Text { text: l10n.string("Menüde gösterilen satırlar"); color: Theme.text; font.pixelSize: Theme.bodySize }
                GridLayout {
                    columns: 3
                    CheckBox { text: settings.metricTitles[0]; checked: trayChoices.showsCPU; onToggled: trayChoices.showsCPU = checked }
                    CheckBox { text: settings.metricTitles[1]; checked: trayChoices.showsMemory; onToggled: trayChoices.showsMemory = checked }
                    CheckBox { text: settings.metricTitles[2]; checked: trayChoices.showsBattery; onToggled: trayChoices.showsBattery = checked }
                    CheckBox { text: settings.metricTitles[3]; checked: trayChoices.showsNetwork; onToggled: trayChoices.showsNetwork = checked }
                    CheckBox { text: settings.metricTitles[4]; checked: trayChoices.showsThermal; onToggled: trayChoices.showsThermal = checked }
                    CheckBox { text: settings.metricTitles[5]; checked: trayChoices.showsHealth; onToggled: trayChoices.showsHealth = checked }
                }
                Row {
                    spacing: 8
                    Button { text: l10n.string("Tümünü göster"); onClicked: trayChoices.showAllMetrics() }
                    Button { text: l10n.string("Tümünü gizle"); onClicked: trayChoices.hideAllMetrics() }
                }
                Text {
                    width: parent.width
                    visible: !app.hasTray
                    text: l10n.string("Bu masaüstünde sistem tepsisi yok; Kestrum penceresiyle çalışır.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
            }

            Card {
                width: parent.width
                Text { text: l10n.string("Oturum açılışı"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Switch {
                    text: l10n.string("Oturum açıldığında Kestrum’u başlat")
                    enabled: launchAtLogin.isAvailable
                    checked: launchAtLogin.isEnabled
                    onToggled: launchAtLogin.setEnabled(checked)
                }
                Text {
                    width: parent.width
                    visible: !launchAtLogin.isAvailable
                    text: l10n.string("Yalnız kurulu bir Kestrum oturum açılışında başlatılabilir.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
                Text {
                    width: parent.width
                    visible: launchAtLogin.failed
                    text: l10n.string("Oturum açılışı ayarı değiştirilemedi.")
                    wrapMode: Text.WordWrap
                    color: "#b3261e"
                    font.pixelSize: Theme.smallSize + 1
                }
            }
        }
    }
}
