import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Layouts
import Kestrum.Presentation

ApplicationWindow {
    id: settings
    title: L10n.string("Kestrum Ayarları")
    width: 520
    height: 600
    minimumWidth: 440
    minimumHeight: 460
    color: Theme.background
    visible: false

    palette.window: Theme.background
    palette.windowText: Theme.text
    palette.base: Theme.card
    palette.text: Theme.text
    palette.button: Theme.control
    palette.buttonText: Theme.text
    palette.mid: Theme.controlBorder
    palette.dark: Theme.controlStrong
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.onColor
    palette.placeholderText: Theme.secondaryText
    palette.disabled.windowText: Theme.secondaryText
    palette.disabled.text: Theme.secondaryText
    palette.disabled.buttonText: Theme.secondaryText

    Flickable {
        anchors.fill: parent
        // Esc closes the settings, as it closes any dialog (an open list inside closes first).
        focus: true
        Keys.onEscapePressed: settings.close()
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
                Text { text: L10n.string("İzleme"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Row {
                    spacing: 10
                    Text { id: intervalLabel; text: L10n.string("Ölçüm aralığı"); color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                    ComboBox {
                        objectName: "intervalChoice"
                        width: 140
                        model: Settings.intervalChoices
                        currentIndex: Settings.intervalIndex
                        onActivated: index => Settings.chooseInterval(index)
                        Accessible.name: intervalLabel.text
                    }
                }
                Switch {
                    text: L10n.string("Önemli sağlık uyarılarında bildirim gönder")
                    checked: Settings.notificationsEnabled
                    onToggled: Settings.setNotificationsEnabled(checked)
                }
                Text {
                    width: parent.width
                    visible: text !== ""
                    text: Settings.notificationStatusMessage
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
            }

            Card {
                width: parent.width
                Text { text: L10n.string("Sistem tepsisi"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Row {
                    spacing: 10
                    Text { id: metricLabel; text: L10n.string("Simgede gösterilen ölçüm"); color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                    ComboBox {
                        width: 160
                        model: Settings.metricChoices
                        currentIndex: Settings.primaryMetricIndex
                        onActivated: index => Settings.choosePrimaryMetric(index)
                        Accessible.name: metricLabel.text
                    }
                }
                Text { text: L10n.string("Menüde gösterilen satırlar"); color: Theme.text; font.pixelSize: Theme.bodySize }
                GridLayout {
                    columns: 3
                    Repeater {
                        model: Settings.trayRows
                        delegate: CheckBox {
                            required property string metric
                            required property string title
                            required property bool shown
                            text: title
                            checked: shown
                            onToggled: Settings.setTrayRowShown(metric, checked)
                        }
                    }
                }
                Row {
                    spacing: 8
                    Button { text: L10n.string("Tümünü göster"); onClicked: Settings.showAllTrayRows() }
                    Button { text: L10n.string("Tümünü gizle"); onClicked: Settings.hideAllTrayRows() }
                }
                Text {
                    width: parent.width
                    visible: !Shell.hasTray
                    text: L10n.string("Bu masaüstünde sistem tepsisi yok; Kestrum penceresiyle çalışır.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
            }

            Card {
                width: parent.width
                visible: AnalyticsConsent.available
                Text { text: L10n.string("Kullanım verileri"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Switch {
                    objectName: "analyticsConsentSwitch"
                    text: L10n.string("Anonim kullanım verilerini paylaş")
                    checked: AnalyticsConsent.consented
                    onToggled: AnalyticsConsent.setConsented(checked)
                }
                Text {
                    width: parent.width
                    text: L10n.string("Yalnızca hangi özelliklerin kullanıldığını anlatan sınıflandırılmış olaylar gönderilir; ölçümler, adlar, dosya yolları ve bu makineyi tanıtan bilgiler asla gönderilmez. Onayı geri çektiğinde gönderilmeyi bekleyen olaylar hemen silinir.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
            }

            Card {
                width: parent.width
                Text { text: L10n.string("Oturum açılışı"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
                Switch {
                    text: L10n.string("Oturum açıldığında Kestrum’u başlat")
                    enabled: Desktop.launchAtLogin.isAvailable
                    checked: Desktop.launchAtLogin.isEnabled
                    onToggled: Desktop.launchAtLogin.setEnabled(checked)
                }
                Text {
                    width: parent.width
                    visible: !Desktop.launchAtLogin.isAvailable
                    text: L10n.string("Yalnız kurulu bir Kestrum oturum açılışında başlatılabilir.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
                Text {
                    width: parent.width
                    visible: Desktop.launchAtLogin.failed
                    text: L10n.string("Oturum açılışı ayarı değiştirilemedi.")
                    wrapMode: Text.WordWrap
                    color: Theme.errorText
                    font.pixelSize: Theme.smallSize + 1
                }
            }
        }
    }
}
