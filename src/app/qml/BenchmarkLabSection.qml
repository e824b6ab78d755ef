import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    property bool standard: false
    title: L10n.string("Benchmark")
    subtitle: L10n.string("İşlemcinin tek ve çok çekirdekli sıkıştırma hızı, bu bilgisayarın önceki sonuçlarıyla karşılaştırılır.")

    OperationPanel {
        objectName: "benchmark"
        width: parent.width
        operation: BenchmarkLab.benchmark
        heading: L10n.string("CPU benchmark")
        startText: L10n.string("Benchmark’ı başlat")
        onStartRequested: BenchmarkLab.start(page.standard)
        options: Row {
            spacing: 12
            enabled: !BenchmarkLab.benchmark.isRunning
            RadioButton {
                checked: !page.standard
                text: L10n.string("Hızlı")
                onToggled: page.standard = !checked
            }
            RadioButton {
                objectName: "standardMode"
                checked: page.standard
                text: L10n.string("Standart")
                onToggled: page.standard = checked
            }
        }
    }
    TestResult {
        width: parent.width
        hasResult: BenchmarkLab.hasResult
        heading: BenchmarkLab.resultTitle
        summary: BenchmarkLab.resultSummary
        groups: BenchmarkLab.resultGroups
    }
}
