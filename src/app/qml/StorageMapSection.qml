import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Depolama Haritası")
    subtitle: StorageMap.subtitle

    FolderDialog {
        id: picker
        title: L10n.string("Taranacak klasörü seç")
        onAccepted: StorageMap.chooseFolder(selectedFolder)
    }

    Row {
        spacing: 8
        Button {
            text: L10n.string("Klasör seç…")
            icon.source: "image://symbol/folder"
            onClicked: picker.open()
        }
        Button {
            text: L10n.string("Yeniden tara")
            enabled: StorageMap.hasFolder && !StorageMap.isScanning
            visible: StorageMap.state === "result" || StorageMap.state === "failed" || StorageMap.showsMap
            onClicked: StorageMap.rescan()
            Accessible.description: "F5"
        }
        Button {
            text: L10n.string("Klasörü unut")
            visible: StorageMap.hasFolder
            onClicked: StorageMap.forgetFolder()
        }
    }

    // The state's invitation, progress or failure.
    Card {
        width: parent.width
        visible: StorageMap.showsStatus
        Row {
            spacing: 10
            BusyIndicator {
                visible: StorageMap.isScanning
                running: visible
                width: 28
                height: 28
                Accessible.ignored: true
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                visible: StorageMap.state !== "result"
                Text {
                    text: StorageMap.title
                    font.pixelSize: Theme.headingSize
                    font.bold: true
                    color: StorageMap.state === "failed" ? Theme.errorText : Theme.text
                }
                Text {
                    objectName: "scanProgress"
                    visible: text !== ""
                    text: StorageMap.progressText
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
            Button {
                objectName: "cancelScan"
                visible: StorageMap.isScanning
                anchors.verticalCenter: parent.verticalCenter
                text: L10n.string("Taramayı durdur")
                onClicked: StorageMap.cancelScan()
            }
        }
        Text {
            width: parent.width
            text: StorageMap.message
            visible: text !== ""
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Button {
            visible: StorageMap.state === "folderReady"
            text: L10n.string("Taramayı Başlat")
            onClicked: StorageMap.rescan()
        }
    }

    Card {
        width: parent.width
        visible: StorageMap.showsMap
        Row {
            spacing: 28
            Repeater {
                model: StorageMap.summary
                delegate: Column {
                    id: total
                    required property string label
                    required property string value
                    Accessible.role: Accessible.StaticText
                    Accessible.name: label + ": " + value
                    Text { text: total.label; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                    Text { text: total.value; color: Theme.text; font.bold: true; font.pixelSize: Theme.headingSize + 2 }
                }
            }
        }
        Treemap {
            width: parent.width
            height: Math.max(260, Math.min(460, width * 0.5))
            map: StorageMap.treemap
        }
        // Which colour means what.
        Flow {
            width: parent.width
            spacing: 14
            Repeater {
                model: StorageMap.treemap.legend
                delegate: Row {
                    id: key
                    required property string category
                    required property string title
                    spacing: 6
                    Accessible.role: Accessible.StaticText
                    Accessible.name: title
                    Rectangle {
                        width: 12
                        height: 12
                        radius: 3
                        anchors.verticalCenter: parent.verticalCenter
                        color: Theme.tileColor(key.category)
                    }
                    Text { text: key.title; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                }
            }
        }
    }

    GridLayout {
        width: parent.width
        visible: StorageMap.showsMap
        columns: width > 760 ? 2 : 1
        columnSpacing: 16
        rowSpacing: 16
        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text { text: L10n.string("En büyük öğeler"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
            Repeater {
                model: StorageMap.items
                delegate: SizeRow {
                    width: parent.width
                    name: model.name
                    detail: model.sizeText + " · " + model.filesText
                    fraction: model.fraction
                }
            }
            Text {
                visible: text !== ""
                text: StorageMap.moreItemsText
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text { text: L10n.string("Kategoriler"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
            Repeater {
                model: StorageMap.categories
                delegate: SizeRow {
                    width: parent.width
                    name: model.title
                    detail: model.sizeText + " · " + model.filesText
                    fraction: model.fraction
                    barColor: Theme.tileColor(model.category)
                }
            }
        }
    }
}
