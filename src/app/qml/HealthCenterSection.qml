import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Sağlık Merkezi")
    subtitle: L10n.string("Anlık değerlendirme, kalıcı uyarılar ve kişisel normalin")

    // The report being exported while the file dialog is open: "diagnostic" or "weekly".
    property string exportKind: ""

    function openExport(kind) {
        exportKind = kind
        reportDialog.selectedFile = Reports.begin(kind)
        reportDialog.open()
    }

    FileDialog {
        id: reportDialog
        fileMode: FileDialog.SaveFile
        title: page.exportKind === "weekly" ? L10n.string("Haftalık raporu kaydet") : L10n.string("Rapor dışa aktar")
        nameFilters: [L10n.string("Markdown belgesi") + " (*.md)"]
        defaultSuffix: "md"
        onAccepted: Reports.save(page.exportKind, selectedFile)
        onRejected: Reports.cancel(page.exportKind)
    }

    // The weekly notification's "save" lands here.
    Connections {
        target: Reports
        function onPendingExportChanged() {
            if (Reports.pendingExport !== "")
                page.openExport(Reports.takePendingExport())
        }
    }
    Component.onCompleted: {
        if (Reports.pendingExport !== "")
            Qt.callLater(() => page.openExport(Reports.takePendingExport()))
    }

    Card {
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: HealthCenter.levelLabel + ", " + HealthCenter.title
        Row {
            spacing: 10
            LevelBadge { level: HealthCenter.level; text: HealthCenter.levelLabel }
            Text {
                text: HealthCenter.title
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
                anchors.verticalCenter: parent.verticalCenter
            }
        }
        Text {
            text: HealthCenter.confidenceLabel
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: HealthCenter.reasons
            delegate: Text {
                required property string line
                width: parent.width
                text: "• " + line
                wrapMode: Text.WordWrap
                color: Theme.text
                font.pixelSize: Theme.bodySize
            }
        }
        Repeater {
            model: HealthCenter.recommendations
            delegate: Text {
                required property string line
                width: parent.width
                text: "→ " + line
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: HealthCenter.evaluatedLine
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize + 1
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: HealthCenter.unavailableLine
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize + 1
        }
    }

    Card {
        width: parent.width
        Text {
            text: L10n.string("Etkin bulgular")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            visible: HealthCenter.insights.count === 0
            text: L10n.string("Şu anda etkin bir bulgu yok.")
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: HealthCenter.insights
            delegate: Column {
                id: insight
                required property string level
                required property string levelLabel
                required property string title
                required property string evidence
                required property string recommendation
                width: parent.width
                spacing: 3
                Accessible.role: Accessible.ListItem
                Accessible.name: levelLabel + ", " + title + ". " + evidence
                Row {
                    spacing: 8
                    LevelBadge { level: insight.level; text: insight.levelLabel }
                    Text { text: insight.title; font.bold: true; color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                }
                Text { width: parent.width; text: insight.evidence; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; text: insight.recommendation; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
            }
        }
    }

    // A way to the hardware assistant, where a symptom can be typed and the findings explained.
    Card {
        objectName: "diagnosisCard"
        width: parent.width
        Text {
            width: parent.width
            text: L10n.string("Bir belirti mi var? AI Donanım Asistanı doğrulanmış bulguları gösterir ve yerel modelle belirtinin kategorisini seçer.")
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        // The symptom typed here is the assistant's own: opening it carries the text over.
        TextField {
            objectName: "diagnosisCardSymptom"
            width: parent.width
            placeholderText: L10n.string("Örneğin: fan sürekli yüksek sesle çalışıyor")
            text: AiHardwareDoctor.symptom
            onTextChanged: AiHardwareDoctor.symptom = text
            onAccepted: Shell.selectSectionByKey("aiHardwareDoctor")
            color: Theme.text
            placeholderTextColor: Theme.secondaryText
            Accessible.name: L10n.string("Belirti (isteğe bağlı)")
        }
        Button {
            text: L10n.string("AI Donanım Asistanı’nı aç")
            Accessible.name: text
            onClicked: Shell.selectSectionByKey("aiHardwareDoctor")
        }
    }

    Card {
        width: parent.width
        Text {
            text: L10n.string("Gözlem")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Rectangle {
            width: parent.width
            visible: HealthCenter.hasLeadObservation
            height: visible ? leadColumn.implicitHeight + 16 : 0
            radius: 8
            color: Theme.track
            border.color: Theme.toneColor(HealthCenter.leadTone)
            Accessible.role: Accessible.StaticText
            Accessible.name: HealthCenter.leadLine + ". " + HealthCenter.leadDetail
            Column {
                id: leadColumn
                x: 10
                y: 8
                width: parent.width - 20
                spacing: 2
                Text { text: HealthCenter.leadLine; font.bold: true; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; text: HealthCenter.leadDetail; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
            }
        }
        Repeater {
            model: HealthCenter.observations
            delegate: Row {
                id: observation
                required property string line
                required property string detail
                required property string tone
                width: parent.width
                spacing: 10
                Accessible.role: Accessible.ListItem
                Accessible.name: line + ". " + detail
                Rectangle { width: 10; height: 10; radius: 5; y: 4; color: Theme.toneColor(observation.tone) }
                Column {
                    width: parent.width - 20
                    Text { text: observation.line; color: Theme.text; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; text: observation.detail; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
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
                text: L10n.string("Sağlık olayları")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text {
                visible: HealthCenter.eventGroups.count === 0
                width: parent.width
                text: L10n.string("Son yedi günde kaydedilmiş sağlık olayı yok.")
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Repeater {
                model: HealthCenter.eventGroups
                delegate: Column {
                    id: eventGroup
                    required property string level
                    required property string levelLabel
                    required property string when
                    required property string title
                    required property string detail
                    width: parent.width
                    spacing: 2
                    Accessible.role: Accessible.ListItem
                    Accessible.name: levelLabel + ", " + when + ", " + title + ". " + detail
                    Row {
                        spacing: 8
                        LevelBadge { level: eventGroup.level; text: eventGroup.levelLabel }
                        Text { text: eventGroup.when; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1; anchors.verticalCenter: parent.verticalCenter }
                    }
                    Text { width: parent.width; text: eventGroup.title; font.bold: true; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; text: eventGroup.detail; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
                }
            }
        }

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: L10n.string("Kişisel normal")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text { text: HealthCenter.baselineLabel; color: Theme.text; font.bold: true; font.pixelSize: Theme.bodySize }
            ProgressBar {
                width: parent.width
                visible: HealthCenter.isLearning
                value: HealthCenter.baselineProgress
                Accessible.name: HealthCenter.baselineProgressText
            }
            Text {
                width: parent.width
                visible: text !== ""
                text: HealthCenter.baselineProgressText
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Text { width: parent.width; text: HealthCenter.baselineNote; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
            GroupCard {
                width: parent.width
                visible: !HealthCenter.isLearning
                border.width: 0
                padding: 0
                group: HealthCenter.baselineValues
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
                text: L10n.string("Olay işareti")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Text {
                width: parent.width
                text: HealthCenter.incidentText
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            Row {
                spacing: 8
                visible: !HealthCenter.hasActiveIncident
                TextField {
                    id: noteField
                    width: 260
                    placeholderText: L10n.string("Not (isteğe bağlı)")
                    Accessible.name: L10n.string("Not (isteğe bağlı)")
                    color: Theme.text
                }
                Button {
                    text: L10n.string("İşareti başlat")
                    onClicked: {
                        HealthCenter.startIncident(noteField.text)
                        noteField.text = ""
                    }
                }
            }
            Button {
                visible: HealthCenter.hasActiveIncident
                text: L10n.string("İşareti durdur")
                onClicked: HealthCenter.stopIncident()
            }
        }

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text {
                text: L10n.string("Bildirimler")
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
            }
            Switch {
                text: L10n.string("Önemli sağlık uyarılarında bildirim gönder")
                checked: HealthCenter.notificationsEnabled
                onToggled: HealthCenter.setNotificationsEnabled(checked)
            }
            Text {
                width: parent.width
                visible: text !== ""
                text: HealthCenter.notificationStatusMessage
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
    }

    Card {
        objectName: "reportExport"
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: L10n.string("Raporlar")
        Text {
            text: L10n.string("Raporlar")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            text: L10n.string("Tanı raporu bir servisle paylaşmak için bu cihazın şimdiki durumunu, haftalık rapor son yedi günün kaydını özetler. İkisi de kullanıcı adı, seri numarası, ağ adı, adres veya dosya yolu içermez.")
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Row {
            spacing: 8
            Button {
                objectName: "exportDiagnostic"
                text: L10n.string("Rapor dışa aktar")
                enabled: !Reports.isSaving
                onClicked: page.openExport("diagnostic")
            }
            Button {
                objectName: "exportWeekly"
                text: L10n.string("Haftalık raporu kaydet")
                enabled: !Reports.isSaving
                onClicked: page.openExport("weekly")
            }
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: Reports.message
            wrapMode: Text.WordWrap
            color: Reports.failed ? Theme.errorText : Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
    }
}
