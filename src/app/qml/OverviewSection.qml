import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Genel Bakış")
    subtitle: Overview.subtitle

    // The verdict first.
    Card {
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: Overview.levelLabel + ", " + Overview.title
        Row {
            spacing: 12
            width: parent.width
            Image {
                source: "image://symbol/" + Overview.symbol + Theme.symbolSuffix
                sourceSize: Qt.size(28, 28)
                width: 28
                height: 28
                Accessible.ignored: true
            }
            Column {
                width: parent.width - 40
                spacing: 6
                Row {
                    spacing: 10
                    LevelBadge { level: Overview.level; text: Overview.levelLabel }
                    Text {
                        text: Overview.title
                        font.pixelSize: Theme.headingSize
                        font.bold: true
                        color: Theme.text
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
                Text {
                    width: parent.width
                    text: Overview.reason
                    visible: text !== ""
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                    wrapMode: Text.WordWrap
                }
                Button {
                    objectName: "openHealthSummary"
                    text: L10n.string("Sağlık Özetini Göster")
                    onClicked: HealthSummary.open("overview")
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
            figure: Overview.cpu
            lineColor: Theme.seriesCPU
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            figure: Overview.memory
            lineColor: Theme.seriesMemory
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            figure: Overview.download
            lineColor: Theme.seriesDownload
        }
        MetricCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            figure: Overview.battery
            lineColor: Theme.seriesBattery
        }
    }

    Card {
        width: parent.width
        visible: Overview.cores.count > 0
        Text {
            text: L10n.string("Çekirdek başına kullanım")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Row {
            spacing: 6
            height: 70
            Repeater {
                model: Overview.cores
                delegate: Column {
                    id: core
                    required property real usage
                    required property string usageText
                    required property bool isBusy
                    required property string accessibleName
                    spacing: 3
                    Accessible.role: Accessible.StaticText
                    Accessible.name: accessibleName
                    Rectangle {
                        width: 22
                        height: 52
                        radius: 4
                        color: Theme.track
                        Rectangle {
                            anchors.bottom: parent.bottom
                            width: parent.width
                            height: Math.max(2, parent.height * Math.min(core.usage, 1))
                            radius: 4
                            color: core.isBusy ? Theme.busy : Theme.accent
                        }
                    }
                    Text {
                        width: 22
                        horizontalAlignment: Text.AlignHCenter
                        text: core.usageText
                        font.pixelSize: Theme.smallSize - 1
                        color: Theme.secondaryText
                    }
                }
            }
        }
    }

    // Two columns of groups. A group keeps its card from sample to sample; only its values change.
    Flow {
        id: groupFlow
        width: parent.width
        spacing: 16
        readonly property int columns: width > 760 ? 2 : 1
        readonly property real cellWidth: (width - (columns - 1) * spacing) / columns
        Repeater {
            model: Overview.groups
            delegate: GroupCard {
                width: groupFlow.cellWidth
            }
        }
    }
}
