import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Performans")
    subtitle: L10n.string("Bir değişiklikten önce ve sonra aynı ölçümleri topla, sonra karşılaştır.")

    // A named session: every live sample between start and stop goes into its totals.
    Card {
        objectName: "sessionControls"
        width: parent.width
        Text {
            text: L10n.string("Performans oturumları")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            text: Performance.hasActiveSession
                  ? Performance.activeSession
                  : L10n.string("Oturum süresince her canlı ölçüm ortalamalara ve tepe değerlere katılır; oturumlar geçmişe kaydedilir.")
            wrapMode: Text.WordWrap
            color: Performance.hasActiveSession ? Theme.text : Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Row {
            spacing: 8
            visible: !Performance.hasActiveSession
            TextField {
                id: sessionName
                width: 260
                placeholderText: L10n.string("Oturum adı")
                Accessible.name: L10n.string("Oturum adı")
                color: Theme.text
            }
            Button {
                objectName: "startSession"
                text: L10n.string("Oturumu başlat")
                Accessible.name: text
                onClicked: {
                    Performance.startSession(sessionName.text)
                    sessionName.text = ""
                }
            }
        }
        Button {
            objectName: "stopSession"
            visible: Performance.hasActiveSession
            text: L10n.string("Oturumu durdur")
            Accessible.name: text
            onClicked: Performance.stopSession()
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: Performance.sessionMessage
            wrapMode: Text.WordWrap
            color: Theme.errorText
            font.pixelSize: Theme.bodySize
        }
    }

    // The saved sessions; two chosen ones side by side.
    Card {
        id: listCard
        objectName: "sessionList"
        width: parent.width
        property var chosen: []
        Text {
            text: L10n.string("Kayıtlı oturumlar")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            visible: Performance.sessions.count === 0
            text: L10n.string("Kayıtlı performans oturumu yok.")
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            visible: Performance.sessions.count > 1
            text: L10n.string("Karşılaştırmak için önce öncekini, sonra sonrakini seç.")
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        Repeater {
            id: sessionRows
            model: Performance.sessions
            delegate: Row {
                id: sessionRow
                required property string key
                required property string name
                required property string started
                required property string duration
                required property string samples
                required property string averageCPU
                required property string peakCPU
                required property string averageMemory
                required property string highestThermal
                width: parent ? parent.width : 0
                spacing: 10
                CheckBox {
                    id: pick
                    objectName: "sessionPick"
                    anchors.verticalCenter: parent.verticalCenter
                    checked: listCard.chosen.indexOf(sessionRow.key) >= 0
                    Accessible.name: L10n.string("Karşılaştırmaya ekle") + ": " + sessionRow.name
                    onToggled: {
                        let list = listCard.chosen.filter(k => k !== sessionRow.key)
                        if (checked)
                            list.push(sessionRow.key)
                        while (list.length > 2)
                            list.shift()
                        listCard.chosen = list
                        if (list.length === 2)
                            Performance.compareSessions(list[0], list[1])
                        else
                            Performance.closeSessionComparison()
                    }
                }
                Column {
                    width: sessionRow.width - pick.width - 10
                    Text {
                        width: parent.width
                        text: sessionRow.name + "  ·  " + sessionRow.started + "  ·  " + sessionRow.duration
                        elide: Text.ElideRight
                        font.bold: true
                        color: Theme.text
                        font.pixelSize: Theme.bodySize
                    }
                    Text {
                        width: parent.width
                        text: sessionRow.samples + "  ·  " + L10n.string("CPU ort.") + " " + sessionRow.averageCPU
                              + "  ·  " + L10n.string("CPU tepe") + " " + sessionRow.peakCPU
                              + "  ·  " + L10n.string("Bellek") + " " + sessionRow.averageMemory
                              + "  ·  " + L10n.string("En yüksek termal") + " " + sessionRow.highestThermal
                        elide: Text.ElideRight
                        color: Theme.secondaryText
                        font.pixelSize: Theme.smallSize
                    }
                }
            }
        }
    }

    Card {
        objectName: "sessionComparison"
        width: parent.width
        visible: Performance.sessionComparison.count > 0
        Text {
            text: Performance.sessionComparisonTitle
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        DataTable {
            columns: ["", "A", "B", L10n.string("Fark (B − A)")]
            roles: ["label", "before", "after", "difference"]
            model: Performance.sessionComparison
            firstShare: 0.25
        }
    }

    // The guided before/after processor comparison.
    Card {
        objectName: "processorComparison"
        width: parent.width
        Text {
            text: L10n.string("İşlemci yükü karşılaştırması")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            text: Performance.comparisonState
            color: Theme.accent
            font.bold: true
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: Performance.comparisonInstruction
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Text {
            visible: text !== ""
            text: Performance.comparisonProgress
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            visible: text !== ""
            text: Performance.comparisonMeans
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Text {
            visible: text !== ""
            text: Performance.comparisonVerdict
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: Performance.comparisonNextStep
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: Performance.comparisonMessage
            wrapMode: Text.WordWrap
            color: Theme.errorText
            font.pixelSize: Theme.bodySize
        }
        Row {
            spacing: 8
            Button {
                objectName: "startComparison"
                visible: Performance.canStartComparison
                text: Performance.comparisonPhase === "idle" ? L10n.string("Karşılaştırmayı başlat")
                                                            : L10n.string("Yeniden ölç")
                Accessible.name: text
                onClicked: Performance.startComparison()
            }
            Button {
                objectName: "beginAfterWindow"
                visible: Performance.canBeginAfterWindow
                text: L10n.string("Sonraki ölçümü başlat")
                Accessible.name: text
                onClicked: Performance.beginAfterWindow()
            }
            ComboBox {
                id: action
                visible: Performance.canSaveComparison
                width: 240
                model: Performance.comparisonActions
                Accessible.name: L10n.string("Yapılan değişiklik")
            }
            Button {
                visible: Performance.canSaveComparison
                text: L10n.string("Kaydet")
                Accessible.name: text
                onClicked: Performance.saveComparison(action.currentIndex)
            }
            Button {
                visible: Performance.canDismissComparison
                text: L10n.string("Kapat")
                Accessible.name: text
                onClicked: Performance.dismissComparison()
            }
        }
        Item { width: 1; height: 6; visible: Performance.savedComparisons.count > 0 }
        Text {
            visible: Performance.savedComparisons.count > 0
            text: L10n.string("Kaydedilen karşılaştırmalar")
            font.pixelSize: Theme.bodySize
            font.bold: true
            color: Theme.text
        }
        DataTable {
            visible: Performance.savedComparisons.count > 0
            columns: [L10n.string("Tarih"), L10n.string("Değişiklik"), L10n.string("Sonuç"),
                      L10n.string("Önce"), L10n.string("Sonra")]
            roles: ["savedAt", "action", "outcome", "before", "after"]
            model: Performance.savedComparisons
            shares: [0.24, 0.27, 0.27, 0.11, 0.11]
        }
    }
}
