import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Layouts
import QtQml.Models
import Kestrum.Presentation

ApplicationWindow {
    id: window
    title: "Kestrum"
    width: 1120
    height: 760
    minimumWidth: 860
    minimumHeight: 560
    color: Theme.background
    // The controls' colours follow the theme too.
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
    palette.toolTipBase: Theme.card
    palette.toolTipText: Theme.text

    // With a tray, closing the window keeps monitoring in the tray; without one, it quits.
    onClosing: close => {
        close.accepted = false
        if (Shell.hasTray)
            window.hide()
        else
            Shell.quit()
    }

    Connections {
        target: Shell
        function onSettingsRequested() {
            settings.show()
            settings.raise()
            settings.requestActivate()
        }
    }

    SettingsWindow {
        id: settings
        objectName: "settingsWindow"
    }

    HealthSummaryPanel {}

    // Ctrl+1…9 choose a section; Ctrl+, opens the settings; Ctrl+Q quits; F5 refreshes the section.
    Instantiator {
        model: Shell.sections
        delegate: Shortcut {
            required property int index
            required property string shortcut
            sequence: shortcut
            enabled: shortcut !== ""
            onActivated: Shell.selectSection(index)
        }
    }
    Shortcut {
        sequence: "Ctrl+,"
        context: Qt.ApplicationShortcut
        onActivated: Shell.showSettings()
    }
    Shortcut {
        sequence: "Ctrl+Q"
        context: Qt.ApplicationShortcut
        onActivated: Shell.quit()
    }
    Shortcut {
        sequence: "F5"
        // Told apart by the window's own activity: a window-wide shortcut here stops answering once a
        // key has closed the settings window (Qt 6.4).
        context: Qt.ApplicationShortcut
        enabled: Shell.canRefresh && window.active
        onActivated: Shell.refresh()
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            Layout.fillHeight: true
            Layout.preferredWidth: 230
            color: Theme.sidebar

            Row {
                id: brand
                x: 12
                y: 12
                spacing: 10
                leftPadding: 8
                bottomPadding: 14
                topPadding: 6
                Image {
                    source: "qrc:/kestrum/icons/app.kestrum.Kestrum.svg"
                    sourceSize: Qt.size(30, 30)
                    width: 30
                    height: 30
                    Accessible.ignored: true
                }
                Text {
                    text: "Kestrum"
                    font.pixelSize: Theme.titleSize - 3
                    font.bold: true
                    color: Theme.text
                    anchors.verticalCenter: parent.verticalCenter
                }
            }

            // The sections: arrow keys move through them, the chosen one's view fills the window.
            ListView {
                id: sidebar
                objectName: "sidebar"
                anchors.top: brand.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: foot.top
                anchors.margins: 12
                anchors.topMargin: 4
                spacing: 4
                clip: true
                focus: true
                activeFocusOnTab: true
                model: Shell.sections
                currentIndex: Shell.currentIndex
                keyNavigationEnabled: false
                Keys.onUpPressed: Shell.selectSection(Shell.currentIndex - 1)
                Keys.onDownPressed: Shell.selectSection(Shell.currentIndex + 1)
                Keys.onPressed: event => {
                    if (event.key === Qt.Key_Home) {
                        Shell.selectSection(0)
                        event.accepted = true
                    } else if (event.key === Qt.Key_End) {
                        Shell.selectSection(count - 1)
                        event.accepted = true
                    }
                }
                Accessible.role: Accessible.PageTabList
                Accessible.name: L10n.string("Bölümler")

                delegate: Rectangle {
                    id: row
                    required property int index
                    required property string title
                    required property string symbol
                    required property string shortcut
                    readonly property bool chosen: index === Shell.currentIndex
                    width: ListView.view.width
                    height: 38
                    radius: 8
                    color: chosen ? Theme.selection : (mouse.containsMouse ? Theme.hover : "transparent")
                    border.width: chosen && sidebar.activeFocus ? 2 : 0
                    border.color: Theme.focus
                    Row {
                        anchors.verticalCenter: parent.verticalCenter
                        x: 10
                        spacing: 10
                        Image {
                            source: "image://symbol/" + row.symbol + Theme.symbolSuffix
                            sourceSize: Qt.size(20, 20)
                            width: 20
                            height: 20
                            Accessible.ignored: true
                        }
                        Text {
                            text: row.title
                            color: Theme.text
                            font.pixelSize: Theme.bodySize + 1
                            font.bold: row.chosen
                            anchors.verticalCenter: parent.verticalCenter
                        }
                    }
                    MouseArea {
                        id: mouse
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            Shell.selectSection(row.index)
                            sidebar.forceActiveFocus()
                        }
                    }
                    Accessible.role: Accessible.PageTab
                    Accessible.name: row.title
                    Accessible.description: row.shortcut
                    Accessible.selected: row.chosen
                }
            }

            Column {
                id: foot
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 12
                spacing: 8

                Text {
                    width: parent.width
                    visible: text !== ""
                    text: Shell.problemText
                    wrapMode: Text.WordWrap
                    color: Theme.errorText
                    font.pixelSize: Theme.smallSize
                }
                Text {
                    width: parent.width
                    visible: text !== ""
                    text: Shell.lastError
                    wrapMode: Text.WordWrap
                    color: Theme.errorText
                    font.pixelSize: Theme.smallSize
                }
                Row {
                    spacing: 8
                    Rectangle {
                        width: 9
                        height: 9
                        radius: 4.5
                        color: Shell.isMonitoring ? Theme.monitoringOn : Theme.monitoringOff
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    Text {
                        text: Shell.monitoringText
                        color: Theme.secondaryText
                        font.pixelSize: Theme.smallSize + 1
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
                Row {
                    spacing: 6
                    Button {
                        text: Shell.monitoringActionText
                        onClicked: Shell.toggleMonitoring()
                    }
                    Button {
                        text: L10n.string("Ayarlar")
                        icon.source: "image://symbol/gearshape"
                        onClicked: Shell.showSettings()
                        Accessible.description: "Ctrl+,"
                    }
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // Asked once, and only where usage data has somewhere to go; the answer can be changed in the
            // settings.
            Card {
                objectName: "analyticsConsentPrompt"
                visible: AnalyticsConsent.asking
                Layout.fillWidth: true
                Layout.leftMargin: 28
                Layout.rightMargin: 28
                Layout.topMargin: 20
                Text {
                    width: parent.width
                    text: L10n.string("Kestrum’u geliştirmemize yardım eder misin?")
                    font.pixelSize: Theme.headingSize
                    font.bold: true
                    color: Theme.text
                    wrapMode: Text.WordWrap
                }
                Text {
                    width: parent.width
                    text: L10n.string("Yalnızca hangi özelliklerin kullanıldığını anlatan sınıflandırılmış olaylar gönderilir; ölçümler, adlar, dosya yolları ve bu makineyi tanıtan bilgiler asla gönderilmez. Onayı geri çektiğinde gönderilmeyi bekleyen olaylar hemen silinir.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                }
                Text {
                    width: parent.width
                    text: L10n.string("Bu tercihi Ayarlar’dan istediğin zaman değiştirebilirsin.")
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.smallSize + 1
                }
                Row {
                    spacing: 8
                    Button {
                        objectName: "analyticsAccept"
                        text: L10n.string("Kullanım Verilerini Paylaş")
                        highlighted: true
                        onClicked: AnalyticsConsent.accept()
                    }
                    Button {
                        objectName: "analyticsDecline"
                        text: L10n.string("Paylaşma")
                        onClicked: AnalyticsConsent.decline()
                    }
                }
            }

            Loader {
                id: content
                objectName: "sectionContent"
                Layout.fillWidth: true
                Layout.fillHeight: true
                source: Shell.currentView
            }
        }
    }
}
