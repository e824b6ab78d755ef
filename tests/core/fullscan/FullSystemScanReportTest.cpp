#include "FullScanInputs.h"
#include "TestSupport.h"
#include "foundation/JsonCodec.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Compares with tests/fixtures/reports/<name>.
void expectReportGolden(const QString& text, const QString& name) {
    expectGolden(text, QStringLiteral("reports/") + name);
}

const QUuid kID = QUuid::fromString(QStringLiteral("{66666666-0000-0000-0000-000000000001}"));

FullSystemScanResult completeScan() {
    FullSystemScanEvidence e = healthyEvidence();
    e.aiExplanation = FullSystemScanStep<QString>::completed(
        QStringLiteral("Doğrulanmış ölçümler belirgin bir donanım sorunu göstermiyor."));
    return FullSystemScanReportBuilder{}.makeResult(e, kID);
}

// No network tests, a failed quick test, no thermal signal, a weak Wi-Fi signal and an attention-level
// assessment.
FullSystemScanResult partialScan() {
    FullSystemScanEvidence e = healthyEvidence();
    e.endedAt = scanTime(125);
    e.networkQuality = {};
    e.internetSpeed = {};
    e.quickHealth = FullSystemScanStep<HealthTestResult>::failed(
        QStringLiteral("Termal durum ciddi seviyesine ulaştığı için test güvenli biçimde durduruldu."));
    e.snapshot->thermal = ThermalLevel::unavailable;
    e.snapshot->network.wifiRSSI = -79;
    e.snapshot->battery.healthCondition = QStringLiteral("Fair");
    e.assessment->level = HealthLevel::attention;
    e.assessment->title = QStringLiteral("Bellek baskısı yüksek");
    e.assessment->reasons = {QStringLiteral("Bellek kullanımı %92.")};
    e.assessment->recommendations = {QStringLiteral("Kullanılmayan uygulamaları kapat.")};
    return FullSystemScanReportBuilder{}.makeResult(e, kID);
}

} // namespace

TEST(FullSystemScanReport, MatchesTheGoldenDocuments) {
    for (const bool english : {false, true}) {
        ScopedLanguage language(english);
        const QString suffix = english ? QStringLiteral("-en.md") : QStringLiteral("-tr.md");
        expectReportGolden(FullSystemScanReportBuilder{}.markdown(completeScan()),
                           QStringLiteral("fullscan-complete") + suffix);
        expectReportGolden(FullSystemScanReportBuilder{}.markdown(partialScan()),
                           QStringLiteral("fullscan-partial") + suffix);
    }
}

TEST(FullSystemScanReport, EmptyResultAbsentScoresAndDurations) {
    ScopedLanguage language(false);
    struct Case {
        double seconds;
        QString duration;
    };
    for (const Case& c : std::vector<Case>{{59, QStringLiteral("59 sn")},
                                           {59.9, QStringLiteral("59 sn")},
                                           {60, QStringLiteral("1 dk 0 sn")},
                                           {125, QStringLiteral("2 dk 5 sn")},
                                           {-30, QStringLiteral("0 sn")}}) {
        FullSystemScanResult r;
        r.startedAt = scanTime();
        r.endedAt = scanTime(c.seconds);
        r.privacyNote = FullSystemScanReportBuilder::privacyNote();
        const QStringList lines = FullSystemScanReportBuilder{}.markdown(r).split(u'\n');
        EXPECT_EQ(lines.at(4), QStringLiteral("- Süre: ") + c.duration) << c.seconds;
        EXPECT_EQ(lines.at(5), QStringLiteral("- Genel puan: Hesaplanamadı"));
        EXPECT_EQ(lines.at(8), QStringLiteral("- Kapsam: 0/0"));
        const qsizetype findings = lines.indexOf(QStringLiteral("## Bulgular ve Öneriler"));
        ASSERT_GT(findings, 0);
        EXPECT_EQ(lines.at(findings + 1), QString());
        EXPECT_EQ(lines.at(findings + 2), QStringLiteral("## Gizlilik ve Sınırlar"));
        EXPECT_FALSE(lines.contains(QStringLiteral("## Cihaz İçi AI Açıklaması")));
    }
    const QString partial = FullSystemScanReportBuilder{}.markdown(partialScan());
    EXPECT_TRUE(partial.contains(QStringLiteral("\n- Puan: Uygulanamaz\n")));
    EXPECT_TRUE(partial.contains(QStringLiteral("\n- Kapsam: 7/11\n")));
    // The last line is the empty one after the limits: one line feed ends the text, none follows it.
    EXPECT_TRUE(partial.endsWith(QStringLiteral("otomatik başlatamaz.\n")));
}

TEST(FullSystemScanReport, CollapsesADoubledVendorWordAfterAHardwareLabel) {
    ScopedLanguage language(false);
    FullSystemScanResult r;
    r.simpleSummary =
        QStringLiteral("Processor: Apple Apple M2 ve Graphics:  Apple Apple GPU; Memory: Apple Apple X");
    const QString text = FullSystemScanReportBuilder{}.markdown(r);
    EXPECT_TRUE(
        text.contains(QStringLiteral("Processor: Apple M2 ve Graphics: Apple GPU; Memory: Apple Apple X")))
        << text.toStdString();
}

TEST(FullSystemScanReport, NeverCarriesWhatIdentifiesTheMachineOrItsNetwork) {
    FullSystemScanEvidence e = healthyEvidence();
    e.snapshot->network.wifiConnectionDetails.networkName = QStringLiteral("EvAgim5G");
    e.snapshot->network.wifiConnectionDetails.accessPointIdentifier = QStringLiteral("a4:5e:60:d1:22:9f");
    e.snapshot->network.connectionDetails.localIPv4Address = QStringLiteral("192.168.1.23");
    e.snapshot->network.connectionDetails.routerIPv4Address = QStringLiteral("10.0.0.1");
    e.snapshot->network.connectionDetails.dnsServerAddresses = {QStringLiteral("2001:db8::42")};
    e.hardware.result->modelIdentifier = QStringLiteral("ayse-thinkpad C02XK1ABJGH5");
    e.assessment->level = HealthLevel::attention;
    e.assessment->title = QStringLiteral("EvAgim5G ağında 192.168.1.23 yanıt vermiyor");
    e.assessment->reasons = {QStringLiteral("/home/ayse/.cache dolu; ayse@example.org")};
    e.quickHealth =
        FullSystemScanStep<HealthTestResult>::failed(QStringLiteral("/home/ayse/kestrum-test yazılamadı"));
    e.aiExplanation =
        FullSystemScanStep<QString>::completed(QStringLiteral("Ağ geçidi 10.0.0.1, cihaz ayse-thinkpad."));
    FullSystemScanReportBuilder builder;
    builder.privateWords = {QStringLiteral("ayse"), QStringLiteral("ayse-thinkpad"),
                            QStringLiteral("C02XK1ABJGH5")};
    const FullSystemScanResult result = builder.makeResult(e, kID);
    const QString stored = QString::fromUtf8(json::toDocumentBytes(fullSystemScanResultToJson(result)));
    for (const bool english : {false, true}) {
        ScopedLanguage language(english);
        const QString report = builder.markdown(result);
        for (const QString& value :
             {QStringLiteral("EvAgim5G"), QStringLiteral("a4:5e:60:d1:22:9f"), QStringLiteral("192.168.1.23"),
              QStringLiteral("10.0.0.1"), QStringLiteral("2001:db8::42"), QStringLiteral("/home/ayse"),
              QStringLiteral("ayse"), QStringLiteral("C02XK1ABJGH5"), QStringLiteral("ayse@example.org")}) {
            EXPECT_FALSE(report.contains(value, Qt::CaseInsensitive)) << value.toStdString();
            EXPECT_FALSE(stored.contains(value, Qt::CaseInsensitive)) << "stored: " << value.toStdString();
        }
    }
}
