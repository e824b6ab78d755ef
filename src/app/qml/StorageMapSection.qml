import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

SectionPage {
    id: page
    title: l10n.string("Depolama Haritası")
    subtitle: storageMap.folder !== "" ? storageMap.folder : l10n.string("Bir klasörün alanının nereye gittiğini gör")

    FolderDialog {
        id: picker
        title: l10n.string("Taranacak klasörü seç")
        onAccepted: storageMap.chooseFolder(selectedFolder)
    }

    Row {
        spacing: 8
        Button {
            text: l10n.string("Klasör seç…")
            icon.source: "image://symbol/folder"
            onClicked: picker.open()
        }
        Button {
            text: l10n.string("Yeniden tara")
            enabled: storageMap.folder !== "" && !storageMap.isScanning
            visible: storageMap.state === "result" || storageMap.state === "failed"
            onClicked: storageMap.rescan()
        }
        Button {
            text: l10n.string("Klasörü unut")
            visible: storageMap.folder !== ""
            onClicked: storageMap.forgetFolder()
        }
    }

    // The state's invitation, progress or failure.
    Card {
        width: parent.width
        visible: storageMap.state !== "result" || storageMap.message !== ""
        Row {
            spacing: 10
            BusyIndicator {
                visible: storageMap.state === "scanning"
                running: visible
                width: 28
                height: 28
            }
            Text {
                text: storageMap.title
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: storageMap.state === "failed" ? "#d63a2f" : Theme.text
                anchors.verticalCenter: parent.verticalCenter
                visible: storageMap.state !== "result"
            }
        }
        Text {
            width: parent.width
            text: storageMap.message
            visible: storageMap.message !== ""
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Button {
            visible: storageMap.state === "folderReady"
            text: l10n.string("Taramayı Başlat")
            onClicked: storageMap.rescan()
        }
    }

    Card {
        width: parent.width
        visible: storageMap.state === "result"
        Row {
            spacing: 28
            Repeater {
                model: storageMap.summary
                delegate: Column {
                    Text { text: modelData.label; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                    Text { text: modelData.value; color: Theme.text; font.bold: true; font.pixelSize: 17 }
                }
            }
        }
        Treemap {
            width: parent.width
            height: Math.max(260, Math.min(460, width * 0.5))
            tiles: storageMap.tiles
        }
    }

    GridLayout {
        width: parent.width
        visible: storageMap.state === "result"
        columns: width > 760 ? 2 : 1
        columnSpacing: 16
        rowSpacing: 16
        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text { text: l10n.string("En büyük öğeler"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
            Repeater {
                model: storageMap.items.slice(0, 30)
                delegate: SizeRow { width: parent.width; name: modelData.name; detail: modelData.sizeText + " · " + modelData.filesText; fraction: modelData.fraction }
            }
        }
        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            Layout.alignment: Qt.AlignTop
            Text { text: l10n.string("Kategoriler"); font.pixelSize: Theme.headingSize; font.bold: true; color: Theme.text }
            Repeater {
                model: storageMap.categories
                delegate: SizeRow { width: parent.width; name: modelData.title; detail: modelData.sizeText + " · " + modelData.filesText; fraction: modelData.fraction }
            }
        }
    }
}
