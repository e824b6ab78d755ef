import QtQuick
import Kestrum
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Sağlık Testi")
    subtitle: L10n.string("İşlemciyi, grafik birimini, belleği ve depolamayı yükleyip sonucu puanlar; sonuçlar geçmişe kaydedilir.")

    OperationPanel {
        objectName: "quickTest"
        width: parent.width
        operation: HealthTest.quick
        heading: L10n.string("Hızlı sağlık testi")
        description: L10n.string("Yaklaşık 20 saniye sürer.")
        startText: L10n.string("Hızlı testi başlat")
        onStartRequested: HealthTest.startQuick()
    }
    TestResult {
        width: parent.width
        hasResult: HealthTest.hasQuickResult
        heading: HealthTest.quickTitle
        summary: HealthTest.quickSummary
        groups: HealthTest.quickGroups
    }

    OperationPanel {
        objectName: "deepTest"
        width: parent.width
        operation: HealthTest.deep
        heading: L10n.string("Derin sağlık testi")
        description: L10n.string("Yaklaşık 8 dakika sürer; işlemciyi, belleği ve depolamayı sürekli yükler ve soğumayı izler.")
        startText: L10n.string("Derin testi başlat")
        onStartRequested: HealthTest.startDeep()
    }
    TestResult {
        width: parent.width
        hasResult: HealthTest.hasDeepResult
        heading: HealthTest.deepTitle
        summary: HealthTest.deepSummary
        groups: HealthTest.deepGroups
    }
}
