import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Layouts
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Geçmiş")
    subtitle: History.summary

    // Where the pointer is over a chart (0…1 of the plot's width), or -1: all charts show the same time.
    property real pointer: -1

    Row {
        spacing: 6
        Repeater {
            model: History.rangeChoices
            delegate: Button {
                required property var modelData
                objectName: "range-" + modelData.key
                text: modelData.title
                checkable: true
                checked: History.range === modelData.key
                onClicked: History.range = modelData.key
            }
        }
    }

    RowLayout {
        width: parent.width
        spacing: 18

        Column {
            id: chartColumn
            Layout.fillWidth: true
            Layout.preferredWidth: 3
            Layout.alignment: Qt.AlignTop
            spacing: 12

            Binding {
                target: History
                property: "plotWidth"
                // The charts' plots are the card's width less its padding and the value labels.
                value: Math.max(1, Math.round(chartColumn.width - 32 - 86))
            }

            Repeater {
                model: History.charts
                delegate: Card {
                    id: chartCard
                    required property var modelData
                    readonly property var chart: modelData
                    width: chartColumn.width
                    spacing: 6
                    Accessible.role: Accessible.Grouping
                    Accessible.name: chart.title

                    Row {
                        spacing: 14
                        Text {
                            text: chartCard.chart.title
                            font.pixelSize: Theme.headingSize
                            font.bold: true
                            color: Theme.text
                        }
                        Repeater {
                            model: chartCard.chart.seriesTitles.length > 1 ? chartCard.chart.seriesTitles : []
                            delegate: Row {
                                required property string modelData
                                required property int index
                                spacing: 4
                                anchors.verticalCenter: parent.verticalCenter
                                Rectangle {
                                    width: 10; height: 3; radius: 1
                                    anchors.verticalCenter: parent.verticalCenter
                                    color: page.seriesColors(chartCard.chart.key)[index]
                                }
                                Text { text: modelData; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1 }
                            }
                        }
                    }

                    Item {
                        width: parent.width
                        height: 96

                        HistoryChartPlot {
                            id: plot
                            objectName: "plot-" + chartCard.chart.key
                            x: 0
                            width: parent.width - 86
                            height: parent.height
                            chart: chartCard.chart
                            colors: page.seriesColors(chartCard.chart.key)
                            gridColor: Theme.border
                            // Events, incidents and sessions on the time axis: a tick, or a band for a span.
                            levelColors: [Theme.levelColor("normal"), Theme.levelColor("attention"), Theme.levelColor("critical")]
                        }

                        Rectangle {
                            visible: page.pointer >= 0
                            x: page.pointer * plot.width
                            width: 1
                            height: plot.height
                            color: Theme.secondaryText
                        }

                        Text {
                            anchors { right: parent.right; top: parent.top }
                            width: 80
                            text: chartCard.chart.topLabel
                            elide: Text.ElideRight
                            color: Theme.secondaryText
                            font.pixelSize: Theme.smallSize
                        }
                        Text {
                            anchors { right: parent.right; bottom: parent.bottom }
                            width: 80
                            text: chartCard.chart.bottomLabel
                            elide: Text.ElideRight
                            color: Theme.secondaryText
                            font.pixelSize: Theme.smallSize
                        }
                        Text {
                            visible: !chartCard.chart.hasData
                            anchors.centerIn: plot
                            text: L10n.string("Bu aralıkta çizilecek ölçüm yok.")
                            color: Theme.secondaryText
                            font.pixelSize: Theme.bodySize
                        }

                        MouseArea {
                            anchors.fill: plot
                            hoverEnabled: true
                            acceptedButtons: Qt.NoButton
                            onPositionChanged: mouse => page.pointer = Math.max(0, Math.min(1, mouse.x / width))
                            onExited: page.pointer = -1
                        }
                    }

                    Text {
                        objectName: "hover-" + chartCard.chart.key
                        width: parent.width
                        height: Theme.bodySize + 6
                        // Read again when the chart changes under a resting pointer (a new range or sample).
                        text: page.pointer >= 0 && chartCard.chart.pointCount >= 0 ? chartCard.chart.describe(page.pointer) : ""
                        elide: Text.ElideRight
                        color: Theme.text
                        font.pixelSize: Theme.smallSize + 1
                    }
                }
            }

            // The time axis under the charts, in the interface's language.
            Item {
                width: chartColumn.width - 32 - 86
                x: 16
                height: Theme.smallSize + 6
                Repeater {
                    model: History.axisLabels
                    delegate: Text {
                        required property var modelData
                        x: Math.max(0, Math.min(parent.width - implicitWidth,
                                                modelData.fraction * parent.width - implicitWidth / 2))
                        text: modelData.text
                        color: Theme.secondaryText
                        font.pixelSize: Theme.smallSize
                    }
                }
            }
        }

        Card {
            Layout.fillWidth: true
            Layout.preferredWidth: 2
            Layout.alignment: Qt.AlignTop
            Accessible.role: Accessible.List
            Accessible.name: L10n.string("Sağlık zaman çizelgesi · son 7 gün")
            Text {
                width: parent.width
                text: L10n.string("Sağlık zaman çizelgesi · son 7 gün")
                font.pixelSize: Theme.headingSize
                font.bold: true
                wrapMode: Text.WordWrap
                color: Theme.text
            }
            Text {
                visible: History.timeline.count === 0
                width: parent.width
                text: L10n.string("Son 7 günde zaman çizelgesine girecek bir kayıt yok.")
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
            // A week can hold hundreds of entries: only those in view are made.
            ListView {
                id: timelineList
                objectName: "timelineList"
                width: parent.width
                height: Math.max(240, chartColumn.height - 80)
                visible: History.timeline.count > 0
                clip: true
                spacing: 10
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}
                model: History.timeline
                delegate: Column {
                    id: entry
                    required property string when
                    required property string level
                    required property string levelLabel
                    required property string title
                    required property string evidence
                    required property string recommendation
                    width: timelineList.width - 12
                    spacing: 2
                    Accessible.role: Accessible.ListItem
                    Accessible.name: levelLabel + ", " + when + ", " + title + ". " + evidence
                    Flow {
                        width: parent.width
                        spacing: 8
                        LevelBadge { level: entry.level; text: entry.levelLabel }
                        Text { text: entry.when; color: Theme.secondaryText; font.pixelSize: Theme.smallSize + 1; topPadding: 3 }
                    }
                    Text { width: parent.width; text: entry.title; font.bold: true; wrapMode: Text.WordWrap; color: Theme.text; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; text: entry.evidence; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
                    Text { width: parent.width; visible: entry.recommendation !== ""; text: "→ " + entry.recommendation; wrapMode: Text.WordWrap; color: Theme.secondaryText; font.pixelSize: Theme.bodySize }
                }
            }
        }
    }

    function seriesColors(key) {
        switch (key) {
        case "cpu": return [Theme.seriesCPU]
        case "memory": return [Theme.seriesMemory]
        case "battery": return [Theme.seriesBattery]
        case "network": return [Theme.seriesDownload, Theme.seriesUpload]
        case "thermal": return [Theme.levelColor("attention")]
        }
        return [Theme.accent]
    }
}
