import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ApplicationWindow {
    id: window
    title: "Kestrum"
    width: 1120
    height: 760
    minimumWidth: 860
    minimumHeight: 560
    color: Theme.background

    property int currentIndex: 0

    function sectionFile(key) {
        switch (key) {
        case "overview": return "OverviewSection.qml"
        case "healthCenter": return "HealthCenterSection.qml"
        case "battery": return "BatterySection.qml"
        case "network": return "NetworkSection.qml"
        case "storageMap": return "StorageMapSection.qml"
        }
        return ""
    }

    // With a tray, closing the window keeps monitoring in the tray; without one, it quits.
    onClosing: close => {
        if (app.hasTray) {
            close.accepted = false
            window.hide()
        } else {
            close.accepted = false
            app.quit()
        }
    }

    Connections {
        target: app
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

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            Layout.fillHeight: true
            Layout.preferredWidth: 230
            color: Theme.sidebar

            Column {
                anchors.fill: parent
                anchors.margins: 12
                spacing: 4

                Row {
                    spacing: 10
                    leftPadding: 8
                    bottomPadding: 14
                    topPadding: 6
                    Image {
                        source: "qrc:/kestrum/icons/app.kestrum.Kestrum.svg"
                        sourceSize: Qt.size(30, 30)
                        width: 30
                        height: 30
                    }
                    Text {
                        text: "Kestrum"
                        font.pixelSize: 19
                        font.bold: true
                        color: Theme.text
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }

                Repeater {
                    model: app.sections
                    delegate: Rectangle {
                        width: parent.width
                        height: 38
                        radius: 8
                        color: index === window.currentIndex ? Theme.selection : (mouse.containsMouse ? "#e2e6ee" : "transparent")
                        Row {
                            anchors.verticalCenter: parent.verticalCenter
                            x: 10
                            spacing: 10
                            Image {
                                source: "image://symbol/" + modelData.symbol
                                sourceSize: Qt.size(20, 20)
                                width: 20
                                height: 20
                            }
                            Text {
                                text: modelData.title
                                color: Theme.text
                                font.pixelSize: 14
                                font.bold: index === window.currentIndex
                                anchors.verticalCenter: parent.verticalCenter
                            }
                        }
                        MouseArea {
                            id: mouse
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: window.currentIndex = index
                        }
                        Accessible.role: Accessible.PageTab
                        Accessible.name: modelData.title
                    }
                }
            }

            Column {
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 12
                spacing: 8

                Text {
                    width: parent.width
                    visible: monitor.persistenceError !== "" || app.archiveBlockedReason !== ""
                    text: app.archiveBlockedReason !== "" ? app.archiveBlockedReason : monitor.persistenceError
                    wrapMode: Text.WordWrap
                    color: "#b3261e"
                    font.pixelSize: Theme.smallSize
                }
                Text {
                    width: parent.width
                    visible: monitor.lastError !== ""
                    text: monitor.lastError
                    wrapMode: Text.WordWrap
                    color: "#b3261e"
                    font.pixelSize: Theme.smallSize
                }
                Row {
                    spacing: 8
                    Rectangle {
                        width: 9
                        height: 9
                        radius: 4.5
                        color: monitor.isMonitoring ? "#2e9d57" : "#8a909a"
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    Text {
                        text: monitor.isMonitoring ? l10n.string("İzleniyor") : l10n.string("İzleme durdu")
                        color: Theme.secondaryText
                        font.pixelSize: Theme.smallSize + 1
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
                Row {
                    spacing: 6
                    Button {
                        text: monitor.isMonitoring ? l10n.string("Durdur") : l10n.string("Başlat")
                        onClicked: monitor.isMonitoring ? monitor.stopMonitoring() : monitor.startMonitoring()
                    }
                    Button {
                        text: l10n.string("Ayarlar")
                        icon.source: "image://symbol/gearshape"
                        onClicked: app.showSettings()
                    }
                }
            }
        }

        Loader {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            source: app.sections.length > window.currentIndex ? window.sectionFile(app.sections[window.currentIndex].key) : ""
        }
    }
}
