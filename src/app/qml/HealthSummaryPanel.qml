import QtQuick
import Kestrum
import QtQuick.Controls
import QtQuick.Layouts
import Kestrum.Presentation

// The first health summary over the window: the verdict, what was covered, at most three findings and
// one next step. Escape or "Kapat" closes it; it stays reachable from the overview.
Popup {
    id: panel
    objectName: "healthSummaryPanel"
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(620, parent ? parent.width - 80 : 620)
    height: Math.min(body.implicitHeight + 2 * padding, parent ? parent.height - 60 : 600)
    padding: 22
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    // Follows the summary's state (it outlives the window); Escape closes both.
    onClosed: HealthSummary.close()
    Component.onCompleted: if (HealthSummary.isOpen) open()
    Connections {
        target: HealthSummary
        function onIsOpenChanged() {
            if (HealthSummary.isOpen)
                panel.open()
            else
                panel.close()
        }
    }
    background: Rectangle {
        color: Theme.card
        radius: 12
        border.color: Theme.border
    }

    Flickable {
        anchors.fill: parent
        contentWidth: width
        contentHeight: body.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        Column {
            id: body
            width: parent.width
            spacing: 12
            Accessible.role: Accessible.Dialog
            Accessible.name: L10n.string("Sağlık Özeti")

            Row {
                spacing: 10
                Text {
                    text: L10n.string("Sağlık Özeti")
                    font.pixelSize: Theme.titleSize - 4
                    font.bold: true
                    color: Theme.text
                    anchors.verticalCenter: parent.verticalCenter
                }
                LevelBadge {
                    level: HealthSummary.state
                    text: HealthSummary.confidenceText
                    anchors.verticalCenter: parent.verticalCenter
                }
            }
            Text {
                objectName: "healthSummaryHeadline"
                width: parent.width
                text: HealthSummary.headline
                font.pixelSize: Theme.headingSize
                font.bold: true
                color: Theme.text
                wrapMode: Text.WordWrap
            }
            Text {
                width: parent.width
                text: HealthSummary.explanation
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
                wrapMode: Text.WordWrap
            }

            Repeater {
                model: HealthSummary.findings
                delegate: Rectangle {
                    required property string title
                    required property string explanation
                    required property string level
                    width: body.width
                    implicitHeight: finding.implicitHeight + 20
                    radius: 8
                    color: Theme.background
                    border.color: Theme.levelColor(level)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: title + ". " + explanation
                    Column {
                        id: finding
                        x: 12
                        y: 10
                        width: parent.width - 24
                        spacing: 4
                        Text {
                            width: parent.width
                            text: title
                            font.bold: true
                            font.pixelSize: Theme.bodySize + 1
                            color: Theme.text
                            wrapMode: Text.WordWrap
                        }
                        Text {
                            width: parent.width
                            text: explanation
                            font.pixelSize: Theme.bodySize
                            color: Theme.secondaryText
                            wrapMode: Text.WordWrap
                        }
                    }
                }
            }

            Text {
                text: L10n.string("Kapsam")
                font.pixelSize: Theme.bodySize + 1
                font.bold: true
                color: Theme.text
            }
            Repeater {
                model: HealthSummary.coverage
                delegate: Row {
                    required property string text
                    required property string level
                    spacing: 8
                    width: body.width
                    Rectangle {
                        width: 9
                        height: 9
                        radius: 4.5
                        color: Theme.levelColor(level)
                        anchors.verticalCenter: parent.verticalCenter
                        Accessible.ignored: true
                    }
                    Text {
                        width: parent.width - 17
                        text: parent.text
                        font.pixelSize: Theme.bodySize
                        color: Theme.text
                        wrapMode: Text.WordWrap
                    }
                }
            }

            Text {
                width: parent.width
                text: HealthSummary.nextActionText
                font.pixelSize: Theme.bodySize + 1
                font.bold: true
                color: Theme.text
                wrapMode: Text.WordWrap
                topPadding: 4
            }
            Row {
                spacing: 8
                Button {
                    objectName: "healthSummaryAction"
                    text: HealthSummary.nextActionButton
                    highlighted: true
                    onClicked: HealthSummary.performNextAction()
                }
                Button {
                    objectName: "healthSummaryClose"
                    text: L10n.string("Kapat")
                    onClicked: HealthSummary.close()
                }
            }
        }
    }
}
