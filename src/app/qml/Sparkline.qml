import QtQuick
import Kestrum

// A small line chart of recent values. NaN values are gaps: the line breaks there instead of
// dropping to zero.
Canvas {
    id: chart
    property var values: []
    property real maximum: -1 // -1: the largest value shown
    property color lineColor: Theme.accent

    implicitHeight: 46
    onValuesChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        const n = values ? values.length : 0
        if (n < 2)
            return
        let top = maximum
        if (top <= 0) {
            top = 0
            for (let i = 0; i < n; ++i)
                if (!isNaN(values[i]) && values[i] > top)
                    top = values[i]
            if (top <= 0)
                top = 1
        }
        const step = width / (n - 1)
        const yOf = v => height - 2 - Math.min(v / top, 1) * (height - 4)
        ctx.lineWidth = 1.6
        ctx.strokeStyle = lineColor
        ctx.fillStyle = Qt.rgba(lineColor.r, lineColor.g, lineColor.b, 0.12)
        let start = -1
        const closeRun = end => {
            if (start < 0 || end <= start)
                return
            ctx.beginPath()
            ctx.moveTo(start * step, yOf(values[start]))
            for (let i = start + 1; i <= end; ++i)
                ctx.lineTo(i * step, yOf(values[i]))
            ctx.stroke()
            ctx.lineTo(end * step, height)
            ctx.lineTo(start * step, height)
            ctx.closePath()
            ctx.fill()
        }
        for (let i = 0; i < n; ++i) {
            if (isNaN(values[i])) {
                closeRun(i - 1)
                start = -1
            } else if (start < 0) {
                start = i
            }
        }
        closeRun(n - 1)
    }
}
