// The health centre's report export: the file the dialog chose, the message and the usage events.

#include "presentation/ReportExportViewModel.h"

#include "PresentationFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct Recorded {
    std::vector<ProductAnalyticsEvent> events;
    ProductAnalyticsRecorder recorder{
        ProductAnalyticsMode::optedInRemote,
        [this](ProductAnalyticsEvent event) { events.push_back(std::move(event)); }};
};

QString property(const ProductAnalyticsEvent& event, const char* key) {
    const auto it = event.properties.find(QString::fromLatin1(key));
    return it == event.properties.end() ? QString() : it->second;
}

} // namespace

TEST(ReportExportViewModel, SavesEachReportWhereChosenAndRecordsTheOutcome) {
    test::MeasuredStore m;
    QCoro::waitFor(m.store.prepareArchive());
    m.sample(test::measuredSnapshot());
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("dosya")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const struct {
        const char* kind;
        ExportedReport report;
        const char* file;
        bool saved;
        const char* heading;
        const char* analyticsKind;
    } cases[] = {
        {"diagnostic", ExportedReport::diagnostic, "tani.md", true, "# Kestrum Cihaz Sağlığı Raporu",
         "diagnostic"},
        {"weekly", ExportedReport::weekly, "haftalik.md", true, "# Kestrum Haftalık Yerel Sağlık Raporu",
         "weekly_health"},
        {"diagnostic", ExportedReport::diagnostic, "dosya/tani.md", false, nullptr, "diagnostic"},
    };
    for (const auto& c : cases) {
        Recorded analytics;
        ReportExportViewModel model(
            m.store, analytics.recorder,
            {ReportDistribution::advanced, QStringLiteral("Debian 12"), {QStringLiteral("gizli-makine")}},
            [&] { return m.now; });
        const QUrl suggested = model.begin(QString::fromLatin1(c.kind));
        EXPECT_TRUE(suggested.fileName().endsWith(QStringLiteral(".md"))) << c.file;
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        EXPECT_EQ(QCoro::waitFor(model.saveNow(c.report, path)), c.saved) << c.file;
        EXPECT_FALSE(model.isSaving());
        EXPECT_EQ(model.failed(), !c.saved) << c.file;
        ASSERT_EQ(analytics.events.size(), 2u) << c.file;
        EXPECT_EQ(analytics.events[0].name, ProductAnalyticsEventName::reportExportStarted);
        EXPECT_EQ(analytics.events[1].name, ProductAnalyticsEventName::reportExportResult);
        EXPECT_EQ(property(analytics.events[1], "report_kind"), QString::fromLatin1(c.analyticsKind));
        EXPECT_EQ(property(analytics.events[1], "outcome"),
                  c.saved ? QStringLiteral("succeeded") : QStringLiteral("failed"));
        if (c.saved) {
            QFile written(path);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(written.readAll());
            EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.heading))) << text.left(80).toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("gizli-makine")));
            EXPECT_TRUE(model.message().contains(path));
        } else {
            EXPECT_EQ(property(analytics.events[1], "error_category"), QStringLiteral("persistence"));
            EXPECT_TRUE(model.message().startsWith(QStringLiteral("Rapor kaydedilemedi: ")))
                << model.message().toStdString();
        }
    }
}

TEST(ReportExportViewModel, ACancelledDialogAndARequestFromTheNotification) {
    test::MeasuredStore m;
    Recorded analytics;
    ReportExportViewModel model(m.store, analytics.recorder, {});
    model.begin(QStringLiteral("weekly"));
    model.cancel(QStringLiteral("weekly"));
    model.begin(QStringLiteral("nonsense"));
    ASSERT_EQ(analytics.events.size(), 2u) << "an unknown kind records nothing";
    EXPECT_EQ(property(analytics.events[1], "outcome"), QStringLiteral("cancelled"));

    model.requestExport(QStringLiteral("weekly"));
    EXPECT_EQ(model.pendingExport(), QStringLiteral("weekly"));
    EXPECT_EQ(model.takePendingExport(), QStringLiteral("weekly"));
    EXPECT_EQ(model.takePendingExport(), QString()) << "taken once";
}
