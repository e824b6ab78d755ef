import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Kaynak Analizi")
    subtitle: ResourceAnalysis.subtitle

    // Without consent: the question, what is read and never read, the one button.
    Card {
        objectName: "consentRequest"
        width: parent.width
        visible: !ResourceAnalysis.consented
        spacing: 10
        Text {
            text: ResourceAnalysis.title
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Rectangle {
            width: badge.implicitWidth + 16
            height: badge.implicitHeight + 6
            radius: height / 2
            color: Theme.track
            border.color: Theme.border
            Text {
                id: badge
                anchors.centerIn: parent
                text: ResourceAnalysis.badge
                color: Theme.text
                font.pixelSize: Theme.smallSize
                font.bold: true
            }
        }
        Text {
            width: parent.width
            text: ResourceAnalysis.explanation
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            text: ResourceAnalysis.caveat
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Repeater {
            model: ResourceAnalysis.privacyPoints
            delegate: Text {
                required property string modelData
                width: parent ? parent.width : 0
                text: "•  " + modelData
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
        Button {
            objectName: "giveConsent"
            text: ResourceAnalysis.consentButton
            Accessible.name: text
            onClicked: ResourceAnalysis.setConsent(true)
        }
    }

    // With consent: the switch that withdraws it and the clearing of this session's data.
    Card {
        objectName: "observationControls"
        width: parent.width
        visible: ResourceAnalysis.consented
        Text {
            text: ResourceAnalysis.title
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Switch {
            objectName: "observationSwitch"
            checked: ResourceAnalysis.consented
            text: ResourceAnalysis.state
            Accessible.name: ResourceAnalysis.state
            Accessible.description: ResourceAnalysis.switchOffHint
            onToggled: ResourceAnalysis.setConsent(checked)
        }
        Text {
            width: parent.width
            text: ResourceAnalysis.switchOffHint
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        Row {
            spacing: 10
            Button {
                text: ResourceAnalysis.clearButton
                Accessible.name: text
                Accessible.description: ResourceAnalysis.clearHint
                onClicked: ResourceAnalysis.clearObservations()
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: ResourceAnalysis.clearHint
                color: Theme.secondaryText
                font.pixelSize: Theme.smallSize
            }
        }
        AvailabilityNote {
            visible: ResourceAnalysis.foregroundUnavailable !== ""
            text: ResourceAnalysis.foregroundUnavailable
        }
    }

    // The correlation: the strongest one observed (or why there is none) and the ranking.
    Card {
        objectName: "correlation"
        width: parent.width
        visible: ResourceAnalysis.consented
        Text {
            text: ResourceAnalysis.isEmpty ? ResourceAnalysis.emptyTitle : ResourceAnalysis.leadingTitle
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            text: ResourceAnalysis.isEmpty ? ResourceAnalysis.emptyDetail : ResourceAnalysis.leadingDetail
            wrapMode: Text.WordWrap
            color: ResourceAnalysis.hasLeadingCandidate ? Theme.text : Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            visible: !ResourceAnalysis.isEmpty
            text: ResourceAnalysis.caveat
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        Item { width: 1; height: 6; visible: !ResourceAnalysis.isEmpty }
        Text {
            visible: !ResourceAnalysis.isEmpty
            text: ResourceAnalysis.tableTitle
            font.pixelSize: Theme.bodySize
            font.bold: true
            color: Theme.text
        }
        DataTable {
            objectName: "applicationTable"
            visible: !ResourceAnalysis.isEmpty
            columns: ResourceAnalysis.columns
            roles: ["application", "averageCPU", "peakCPU", "memory", "signal"]
            model: ResourceAnalysis.applications
        }
    }

    // What each application used, as the kernel measured it.
    Card {
        objectName: "applicationUsage"
        width: parent.width
        visible: ResourceAnalysis.consented
        Text {
            text: ResourceAnalysis.usageTitle
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            width: parent.width
            text: ResourceAnalysis.usageCaption
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        AvailabilityNote {
            visible: ResourceAnalysis.usageUnavailable !== ""
            text: ResourceAnalysis.usageUnavailable
        }
        Text {
            width: parent.width
            visible: text !== ""
            text: ResourceAnalysis.usageNote
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        DataTable {
            visible: ResourceAnalysis.usage.count > 0
            columns: ResourceAnalysis.usageColumns
            roles: ["application", "cpuTime", "recentCPU", "memory", "diskRead", "diskWritten"]
            model: ResourceAnalysis.usage
            firstShare: 0.28
        }
    }
}
