pragma Singleton
import QtQuick

// Colours and sizes shared by every view.
QtObject {
    readonly property color background: "#f5f6f8"
    readonly property color sidebar: "#eceef2"
    readonly property color card: "#ffffff"
    readonly property color border: "#e2e5eb"
    readonly property color text: "#1d2129"
    readonly property color secondaryText: "#5f6673"
    readonly property color accent: "#2f6fdb"
    readonly property color selection: "#dbe6fb"
    readonly property int titleSize: 22
    readonly property int headingSize: 15
    readonly property int bodySize: 13
    readonly property int smallSize: 11

    function levelColor(level) {
        switch (level) {
        case "normal": return "#2e9d57"
        case "attention": return "#e08a00"
        case "critical": return "#d63a2f"
        default: return "#8a909a"
        }
    }
    function toneColor(tone) {
        switch (tone) {
        case "critical": return "#d63a2f"
        case "attention": return "#e08a00"
        case "observing": return "#2f6fdb"
        case "observed": return "#2e9d57"
        default: return "#8a909a"
        }
    }
}
