#include "presentation/FullScanViewModel.h"

#include "PresentationFixtures.h"
#include "TestSupport.h"
#include "core/fullscan/FullScanInputs.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

FullSystemScanResult storedScan(const char* id, Date endedAt, bool withNetwork) {
    FullSystemScanEvidence e = healthyEvidence();
    e.startedAt = e.endedAt = endedAt;
    if (!withNetwork) {
        e.networkQuality = {};
        e.internetSpeed = {};
    }
    return FullSystemScanReportBuilder{}.makeResult(e, QUuid::fromString(QString::fromLatin1(id)));
}

} // namespace

TEST(FullScanViewModel, OptionsHistorySelectionExportAndReminder) {
    ScopedLanguage turkish(false);
    MeasuredStore m;
    for (const auto& r :
         {storedScan("{AAAA0000-0000-0000-0000-000000000001}", m.now.addingSeconds(-7200), true),
          storedScan("{BBBB0000-0000-0000-0000-000000000002}", m.now.addingSeconds(-3600), false)})
        m.repository->stored.fullSystemScanResults.push_back(fullSystemScanResultToJson(r).toObject());
    QCoro::waitFor(m.store.prepareArchive());
    FullScanViewModel model(m.store);
    QAbstractItemModelTester tester(model.history(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    // The speed test only with the network tests: turning one on or off carries the other along.
    struct Step {
        bool speed;
        bool on;
        bool network;
        bool speedAfter;
    };
    for (const Step s : std::vector<Step>{{true, true, true, true},
                                          {false, false, false, false},
                                          {false, true, true, false},
                                          {true, true, true, true}}) {
        if (s.speed)
            model.setIncludeSpeed(s.on);
        else
            model.setIncludeNetwork(s.on);
        EXPECT_EQ(model.includeNetwork(), s.network);
        EXPECT_EQ(model.includeSpeed(), s.speedAfter);
    }

    ASSERT_EQ(model.history()->count(), 2);
    EXPECT_EQ(model.history()->keyAt(0), QStringLiteral("BBBB0000-0000-0000-0000-000000000002"))
        << "newest first";
    EXPECT_EQ(model.history()->value(0, "detail").toString(), QStringLiteral("Genel puan %95 · Kapsam 9/11"));
    EXPECT_EQ(model.selectedID(), QStringLiteral("BBBB0000-0000-0000-0000-000000000002"));
    EXPECT_TRUE(model.resultSummary().contains(QStringLiteral("Kapsam 9/11")));
    model.select(QStringLiteral("AAAA0000-0000-0000-0000-000000000001"));
    EXPECT_TRUE(model.resultSummary().contains(QStringLiteral("Kapsam 11/11")));
    model.select(QStringLiteral("nothing"));
    EXPECT_EQ(model.selectedID(), QStringLiteral("AAAA0000-0000-0000-0000-000000000001"));
    ASSERT_NE(model.resultGroup(QStringLiteral("findings")), nullptr);

    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/") + model.defaultReportName();
    EXPECT_TRUE(model.exportReport(QUrl::fromLocalFile(path)));
    EXPECT_EQ(QString::fromUtf8(readFile(path)),
              FullSystemScanReportBuilder{}.markdown(m.store.fullSystemScanResults().front()));
    EXPECT_EQ(model.exportMessage(), QStringLiteral("Rapor kaydedildi."));
    writeFile(folder.path() + QStringLiteral("/dosya"), "x");
    EXPECT_FALSE(model.exportReport(QUrl::fromLocalFile(folder.path() + QStringLiteral("/dosya/r.md"))));
    EXPECT_EQ(model.exportMessage(),
              QStringLiteral("Rapor kaydedilemedi. Lütfen başka bir konum seçip yeniden deneyin."));

    EXPECT_EQ(model.reminderDays(), 0);
    EXPECT_EQ(model.reminderText(), QStringLiteral("Hatırlatıcı kapalı."));
    model.setReminderDays(14);
    EXPECT_EQ(model.reminderDays(), 14);
    EXPECT_TRUE(model.reminderText().startsWith(QStringLiteral("Sonraki hatırlatma: ")))
        << "a complete scan exists";
}
