import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

// A user-started test: what it does, its start button (or why it cannot start now), its progress bar
// and phase while it runs with a cancel button, and the last run's error.
Card {
    id: panel
    required property OperationViewModel operation
    property string heading
    property string description
    property string startText
    // Choices shown above the start button (a mode, for instance).
    property Component options
    signal startRequested()

    Accessible.role: Accessible.Grouping
    Accessible.name: heading

    Text {
        text: panel.heading
        font.pixelSize: Theme.headingSize
        font.bold: true
        color: Theme.text
        width: parent.width
        elide: Text.ElideRight
    }
    Text {
        visible: text !== ""
        text: panel.description
        width: parent.width
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
    }
    Loader {
        active: panel.options !== null
        visible: active
        width: parent.width
        sourceComponent: panel.options
    }
    Row {
        spacing: 10
        Button {
            objectName: "start"
            visible: !panel.operation.isRunning
            enabled: panel.operation.canStart
            text: panel.startText
            Accessible.name: panel.startText
            onClicked: panel.startRequested()
        }
        Button {
            objectName: "cancel"
            visible: panel.operation.isRunning
            enabled: panel.operation.canCancel
            text: L10n.string("Testi durdur")
            Accessible.name: text
            onClicked: panel.operation.cancel()
        }
        BusyIndicator {
            visible: panel.operation.isRunning && !panel.operation.hasFraction
            running: visible
            width: 28
            height: 28
            Accessible.ignored: true
        }
    }
    // The share done, when the operation knows it.
    Rectangle {
        visible: panel.operation.isRunning && panel.operation.hasFraction
        width: parent.width
        height: 8
        radius: 4
        color: Theme.track
        Accessible.role: Accessible.ProgressBar
        Accessible.name: panel.operation.progressText
        Rectangle {
            width: Math.max(height, parent.width * panel.operation.fraction)
            height: parent.height
            radius: 4
            color: Theme.accent
        }
    }
    Text {
        objectName: "phase"
        visible: panel.operation.isRunning && text !== ""
        text: [panel.operation.phase, panel.operation.progressText].filter(t => t !== "").join(" · ")
        width: parent.width
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    Text {
        objectName: "refusal"
        visible: !panel.operation.isRunning && text !== ""
        text: panel.operation.refusal
        width: parent.width
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
    }
    Text {
        objectName: "error"
        visible: !panel.operation.isRunning && text !== ""
        text: panel.operation.error
        width: parent.width
        wrapMode: Text.WordWrap
        color: Theme.errorText
        font.pixelSize: Theme.bodySize
    }
}
