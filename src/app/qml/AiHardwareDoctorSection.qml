import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("AI Donanım Asistanı")
    subtitle: L10n.string("Ölçümlerden doğrulanmış bulgular; yerel dil modeli yalnızca belirtinin kategorisini seçer.")

    Card {
        objectName: "doctorFindings"
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: L10n.string("Doğrulanmış bulgular")
        Text {
            text: L10n.string("Doğrulanmış bulgular")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            objectName: "doctorSummary"
            width: parent.width
            text: AiHardwareDoctor.summary
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: AiHardwareDoctor.findings
            delegate: Column {
                id: finding
                required property string level
                required property string severity
                required property string title
                required property string category
                required property string evidence
                required property string interpretation
                required property string actions
                required property string parts
                width: parent.width
                spacing: 3
                Accessible.role: Accessible.ListItem
                Accessible.name: severity + ", " + title + ". " + evidence
                Row {
                    spacing: 8
                    LevelBadge { level: finding.level; text: finding.severity }
                    Text { text: finding.title; font.bold: true; color: Theme.text; font.pixelSize: Theme.bodySize; anchors.verticalCenter: parent.verticalCenter }
                }
                Text { width: parent.width; text: finding.category; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                Text { width: parent.width; text: finding.evidence; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; text: finding.interpretation; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; visible: text !== ""; text: finding.actions; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                Text { width: parent.width; visible: text !== ""; text: finding.parts; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
            }
        }
    }

    // The model sees the symptom (or, without one, the findings) and answers with one word; the text
    // below is assembled here from the findings and checked before it is shown.
    Card {
        objectName: "doctorExplainer"
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: L10n.string("Cihaz içi açıklama")
        Text {
            text: L10n.string("Cihaz içi açıklama")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        AvailabilityNote {
            objectName: "doctorAvailability"
            text: AiHardwareDoctor.availabilityText
        }
        Text {
            id: symptomLabel
            text: L10n.string("Belirti (isteğe bağlı)")
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        TextArea {
            objectName: "symptomField"
            width: parent.width
            height: Math.max(implicitHeight, 64)
            wrapMode: TextEdit.Wrap
            placeholderText: L10n.string("Örneğin: fan sürekli yüksek sesle çalışıyor")
            text: AiHardwareDoctor.symptom
            onTextChanged: AiHardwareDoctor.symptom = text
            enabled: !AiHardwareDoctor.isExplaining
            color: Theme.text
            placeholderTextColor: Theme.secondaryText
            Accessible.name: symptomLabel.text
            background: Rectangle {
                radius: 6
                color: Theme.control
                border.color: parent.activeFocus ? Theme.focus : Theme.controlBorder
            }
        }
        Row {
            spacing: 10
            Button {
                objectName: "explainButton"
                visible: !AiHardwareDoctor.isExplaining
                enabled: AiHardwareDoctor.canExplain
                text: L10n.string("Açıkla")
                Accessible.name: text
                onClicked: AiHardwareDoctor.explain()
            }
            Button {
                objectName: "cancelExplanation"
                visible: AiHardwareDoctor.isExplaining
                text: L10n.string("Vazgeç")
                Accessible.name: text
                onClicked: AiHardwareDoctor.cancel()
            }
            Button {
                objectName: "checkModel"
                enabled: !AiHardwareDoctor.isCheckingModel && !AiHardwareDoctor.isExplaining
                text: L10n.string("Modeli yeniden denetle")
                Accessible.name: text
                onClicked: AiHardwareDoctor.checkModel()
            }
            BusyIndicator {
                visible: AiHardwareDoctor.isExplaining || AiHardwareDoctor.isCheckingModel
                running: visible
                width: 28
                height: 28
                Accessible.name: L10n.string("Yerel dil modeli belirti kategorisini seçiyor…")
            }
        }
        Text {
            objectName: "doctorError"
            width: parent.width
            visible: text !== ""
            text: AiHardwareDoctor.errorText
            wrapMode: Text.WordWrap
            color: Theme.errorText
            font.pixelSize: Theme.bodySize
        }
        Text {
            objectName: "doctorCategory"
            visible: text !== ""
            text: AiHardwareDoctor.categoryText
            font.bold: true
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Text {
            objectName: "doctorNarrative"
            width: parent.width
            visible: text !== ""
            text: AiHardwareDoctor.narrative
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            text: AiHardwareDoctor.privacyNote
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize + 1
        }
    }

    // Where the local model listens. Only this machine is accepted: a literal address is judged on saving,
    // a host name when the server is asked.
    Card {
        objectName: "doctorModelServer"
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: L10n.string("Yerel dil modeli sunucusu")
        Text {
            text: L10n.string("Yerel dil modeli sunucusu")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            text: L10n.string("Bu bilgisayarda çalışan bir llama.cpp (OpenAI uyumlu) veya Ollama sunucusunun adresi. Yalnızca bu bilgisayar kabul edilir; adresi boş bırakıp kaydetmek ayarı kaldırır.")
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Row {
            spacing: 10
            TextField {
                id: modelAddress
                objectName: "modelAddress"
                width: 300
                text: AiHardwareDoctor.modelAddress
                placeholderText: "http://127.0.0.1:11434"
                inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                color: Theme.text
                Accessible.name: L10n.string("Sunucu adresi")
                onAccepted: saveModel.clicked()
            }
            ComboBox {
                id: modelKind
                objectName: "modelKind"
                width: 240
                model: [L10n.string("Otomatik (bağlantı noktası)"), L10n.string("OpenAI uyumlu"), "Ollama"]
                currentIndex: AiHardwareDoctor.modelKind
                Accessible.name: L10n.string("Sunucu türü")
            }
            Button {
                id: saveModel
                objectName: "saveModelServer"
                text: L10n.string("Kaydet ve denetle")
                Accessible.name: text
                onClicked: AiHardwareDoctor.saveModelServer(modelAddress.text, modelKind.currentIndex)
            }
        }
        Text {
            objectName: "modelSettingsError"
            width: parent.width
            visible: text !== ""
            text: AiHardwareDoctor.modelSettingsError
            wrapMode: Text.WordWrap
            color: Theme.errorText
            font.pixelSize: Theme.bodySize
        }
    }
}
