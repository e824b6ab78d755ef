import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

SectionPage {
    id: page
    title: l10n.string("Sağlık Merkezi")
    subtitle: l10n.string("Anlık değerlendirme, kalıcı uyarılar ve kişisel normalin")

    Card {
        width: parent.width
        Row {
            spacing: 10
            LevelBadge { level: monitor.assessment.level; text: monitor.assessment.levelLabel }
            Text {
                text: monitor.assessment.title
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
                anchors.verticalCenter: parent.verticalCenter
            }
        }
        Text {
            text: monitor.assessment.confidenceLabel
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: monitor.assessment.reasons
            delegate: Text {
                width: parent.width
                text: "• " + modelData
                wrapMode: Text.WordWrap
                color: Theme.text
                font.pixelSize: Theme.bodySize
            }
        }
        Repeater {
            model: monitor.assessment.recommendations
            delegate: Text {
                width: parent.width
                text: "→ " + modelData
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
        Text {
            width: parent.width
            visible: monitor.assessment.evaluated.length > 0
            text: l10n.string("Değerlendirilen") + ": " + monitor.assessment.evaluated.join(", ")
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize + 1
        }
        Text {
            width: parent.width
            visible: monitor.assessment.unavailable.length > 0
            text: l10n.string("Okunamayan") + ": " + monitor.assessment.unavailable.join(", ")
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize + 1
        }
    }

    Card {
        width: parent.width
        Text {
            text: l10n.string("Etkin bulgular")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            visible: monitor.insights.length === 0
            text: l10n.string("Şu anda etkin bir bulgu yok.")
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: monitor.insights
            delegate: Column {
                width: parent.width
                spacing: 3
                Row {
                    spacing: 8
                    LevelBadge { level: modelData.level; text: modelData.levelLabel }
                    Text { text: modelData.title; font.bold: true; color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                }
                Text { width: parent.width; text: modelData.evidence; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; text: modelData.recommendation; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
            }
        }
    }

    Card {
        width: parent.width
        Text {
            text: l10n.string("Gözlem")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Rectangle {
            width: parent.width
            visible: monitor.leadObservation.title !== undefined
            height: visible ? leadColumn.implicitHeight + 16 : 0
            radius: 8
            color: Qt.rgba(0.18, 0.44, 0.86, 0.07)
            border.color: Theme.toneColor(monitor.leadObservation.tone || "neutral")
            Column {
                id: leadColumn
                x: 10
                y: 8
                width: parent.width - 20
                spacing: 2
                Text { text: (monitor.leadObservation.title || "") + " · " + (monitor.leadObservation.status || ""); font.bold: true; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; text: monitor.leadObservation.detail || ""; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
            }
        }
        Repeater {
            model: monitor.observationRows
            delegate: Row {
                width: parent.width
                spacing: 10
                Rectangle { width: 10; height: 10; radius: 5; y: 4; color: Theme.toneColor(modelData.tone) }
                Column {
                    width: parent.width - 20
                    Text { text: modelData.title + " — " + modelData.status; color: Theme.text; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; text: modelData.detail; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                }
            }
        }
    }

    GridLayout {
        width: parent.width
        columns: width > 760 ? 2 : 1
        columnSpacing: 16
        rowSpacing: 16

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: l10n.string("Sağlık olayları")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text {
                visible: monitor.eventGroups.length === 0
                width: parent.width
                text: l10n.string("Son yedi günde kaydedilmiş sağlık olayı yok.")
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Repeater {
                model: monitor.eventGroups
                delegate: Column {
                    width: parent.width
                    spacing: 2
                    Row {
                        spacing: 8
                        LevelBadge { level: modelData.level; text: modelData.levelLabel }
                        Text { text: modelData.when; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1; anchors.verticalCenter: parent.verticalCenter }
                    }
                    Text { width: parent.width; text: modelData.title; font.bold: true; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; text: modelData.evidence + (modelData.countText !== "" ? " · " + modelData.countText : ""); wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
                }
            }
        }

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: l10n.string("Kişisel normal")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text { text: monitor.baseline.label; color: Theme.text; font.bold: true; font.pixelSize: Theme.bodySize }
            ProgressBar {
                width: parent.width
                visible: monitor.baseline.isLearning
                value: monitor.baseline.progress
            }
            Text {
                width: parent.width
                visible: monitor.baseline.progressText !== ""
                text: monitor.baseline.progressText
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Text { width: parent.width; text: monitor.baseline.note; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
            GroupCard {
                width: parent.width
                visible: !monitor.baseline.isLearning
                border.width: 0
                padding: 0
                group: ({ title: "", note: "", isAvailable: true, rows: monitor.baseline.values })
            }
        }
    }

    GridLayout {
        width: parent.width
        columns: width > 760 ? 2 : 1
        columnSpacing: 16
        rowSpacing: 16

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: l10n.string("Olay işareti")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text {
                width: parent.width
                text: monitor.activeIncident.note !== undefined
                      ? l10n.string("Açık işaret") + ": " + monitor.activeIncident.note + " · " + monitor.activeIncident.since
                      : l10n.string("Bir sorunu fark ettiğin anı işaretle; geçmiş ve raporlar bu aralığı gösterir.")
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Row {
                spacing: 8
                visible: monitor.activeIncident.note === undefined
                TextField {
                    id: noteField
                    width: 260
                    placeholderText: l10n.string("Not (isteğe bağlı)")
                }
                Button {
                    text: l10n.string("İşareti başlat")
                    onClicked: { monitor.startIncident(noteField.text); noteField.text = "" }
                }
            }
            Button {
                visible: monitor.activeIncident.note !== undefined
                text: l10n.string("İşareti durdur")
                onClicked: monitor.stopIncident()
            }
        }

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: l10n.string("Bildirimler")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
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
                font.pixelSize: Theme.bodySize
            }
        }
    }
}
