import QtQuick
import QtQuick.Layouts

SectionPage {
    id: page
    title: l10n.string("Genel Bakış")
    subtitle: monitor.timestampText !== "" ? l10n.string("Son ölçüm") + " " + monitor.timestampText : l10n.string("İlk ölçüm bekleniyor")

    function group(key) {
        for (let i = 0; i < monitor.groups.length; ++i)
            if (monitor.groups[i].key === key)
                return monitor.groups[i]
        return ({ title: "", rows: [], note: "" })
    }
    function rowValue(key, index) {
        const g = group(key)
        return g.rows && g.rows.length > index ? g.rows[index].value : ""
    }

    // The verdict first.
    Card {
        width: parent.width
        Row {
            spacing: 12
            width: parent.width
            Image {
                source: "image://symbol/" + monitor.headline.symbol
                sourceSize: Qt.size(28, 28)
                width: 28
                height: 28
            }
            Column {
                width: parent.width - 40
                spacing: 6
                Row {
                    spacing: 10
                    LevelBadge { level: monitor.headline.level; text: monitor.headline.levelLabel }
                    Text {
                        text: monitor.headline.title
                        font.pixelSize: Theme.headingSize
                        font.bold: true
                        color: Theme.text
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
                Text {
                    width: parent.width
                    text: monitor.assessment.reasons && monitor.assessment.reasons.length > 0 ? monitor.assessment.reasons[0] : ""
                    visible: text !== ""
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                    wrapMode: Text.WordWrap
                }
            }
        }
    }

    GridLayout {
        width: parent.width
        columns: width > 900 ? 4 : 2
        columnSpacing: 16
        rowSpacing: 16
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            title: l10n.string("İşlemci")
            value: page.group("cpu").isAvailable ? page.rowValue("cpu", 0) : l10n.string("Kullanılamıyor")
            caption: page.group("cpu").isAvailable ? "" : page.group("cpu").note
            series: monitor.series.cpu
            maximum: 1
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            title: l10n.string("Bellek")
            value: page.group("memory").isAvailable ? page.rowValue("memory", 2) : l10n.string("Kullanılamıyor")
            caption: page.group("memory").isAvailable ? page.rowValue("memory", 0) + " / " + page.rowValue("memory", 1) : page.group("memory").note
            series: monitor.series.memory
            maximum: 1
            lineColor: "#7d4fd6"
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            title: l10n.string("İndirme")
            value: monitor.network.downloadText || ""
            caption: monitor.network.trafficNote || (l10n.string("Yükleme") + " " + (monitor.network.uploadText || ""))
            series: monitor.series.download
            lineColor: "#1f9d8b"
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            title: l10n.string("Batarya")
            value: monitor.battery.isPresent ? monitor.battery.chargeText : l10n.string("Batarya yok")
            caption: monitor.battery.isPresent ? page.rowValue("battery", 1) : (monitor.battery.note || "")
            series: monitor.series.battery
            maximum: 1
            lineColor: "#2e9d57"
        }
    }

    Card {
        width: parent.width
        visible: monitor.coreUsage.length > 0
        Text {
            text: l10n.string("Çekirdek başına kullanım")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Row {
            spacing: 6
            height: 70
            Repeater {
                model: monitor.coreUsage.length
                delegate: Column {
                    readonly property real usage: monitor.coreUsage[index] || 0
                    spacing: 3
                    Rectangle {
                        width: 22
                        height: 52
                        radius: 4
                        color: "#eef1f6"
                        Rectangle {
                            anchors.bottom: parent.bottom
                            width: parent.width
                            height: Math.max(2, parent.height * Math.min(usage, 1))
                            radius: 4
                            color: usage >= 0.9 ? "#d63a2f" : Theme.accent
                        }
                    }
                    Text {
                        width: 22
                        horizontalAlignment: Text.AlignHCenter
                        text: Math.round(usage * 100)
                        font.pixelSize: 10
                        color: Theme.secondaryText
                    }
                }
            }
        }
    }

    // Two columns of groups. The delegates stay while the number of groups stays: each refresh only
    // updates their values instead of rebuilding them.
    Flow {
        id: groupFlow
        width: parent.width
        spacing: 16
        readonly property int columns: width > 760 ? 2 : 1
        readonly property real cellWidth: (width - (columns - 1) * spacing) / columns
        Repeater {
            model: monitor.groups.length
            delegate: GroupCard {
                width: groupFlow.cellWidth
                group: monitor.groups[index]
            }
        }
    }
}
