// The performance section: sessions over a store with a fake sampler and archive, and what the processor
// comparison card says in each state.

#include "presentation/PerformanceViewModel.h"

#include "PresentationFixtures.h"
#include "measurement/MetricFormatting.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

using Phase = ProcessorComparisonPhase;
using Result = ProcessorComparisonResult;
using Reason = ProcessorComparisonInvalidReason;

ProcessorComparison comparisonIn(Phase phase, std::optional<Result> result = {},
                                 std::optional<Reason> reason = {}) {
    ProcessorComparison c;
    c.phase = phase;
    c.result = result;
    c.invalidReason = reason;
    c.count = 6;
    if (phase == Phase::awaitingAction || phase == Phase::measuring || phase == Phase::finished)
        c.baselineMean = 0.41;
    if (phase == Phase::finished)
        c.afterMean = 0.2;
    return c;
}

} // namespace

TEST(PerformanceViewModel, WhatTheComparisonSaysInEachState) {
    test::ScopedLanguage turkish(false);
    struct Case {
        const char* what;
        ProcessorComparison comparison;
        const char* state;
        const char* progress;
        const char* verdict;
        const char* nextStepStart;
        bool start, begin, save, dismiss;
    };
    const Case cases[] = {
        {"idle", comparisonIn(Phase::idle), "Başlatılmadı", "", "", "", true, false, false, false},
        {"baseline", comparisonIn(Phase::baseline), "Başlangıç ölçülüyor", "Başlangıç: 12 sn, 6 ölçüm", "",
         "", false, false, false, true},
        {"awaiting the action", comparisonIn(Phase::awaitingAction), "Değişikliğini bekliyor", "", "", "",
         false, true, false, true},
        {"after window", comparisonIn(Phase::measuring), "Sonrası ölçülüyor", "Sonrası: 12 sn, 6 ölçüm", "",
         "", false, false, false, true},
        {"finished lower", comparisonIn(Phase::finished, Result::lower), "Tamamlandı", "",
         "İşlemci yükü azaldı", "Azalma yalnız bu iki ölçüm", true, false, true, true},
        {"finished similar", comparisonIn(Phase::finished, Result::similar), "Tamamlandı", "",
         "İşlemci yükü benzer", "Etkinlik Monitörü", true, false, true, true},
        {"conditions changed", comparisonIn(Phase::invalid, {}, Reason::conditionsChanged), "Geçersiz", "",
         "Karşılaştırma geçersiz: Koşullar değişti", "Güç, ölçüm aralığı", true, false, true, true},
        {"gap", comparisonIn(Phase::invalid, {}, Reason::measurementGap), "Geçersiz", "",
         "Karşılaştırma geçersiz: Ölçümler zamanında gelmedi", "Yeni ölçümler zamanında", true, false, true,
         true},
        {"interrupted", comparisonIn(Phase::invalid, {}, Reason::interrupted), "Geçersiz", "",
         "Karşılaştırma geçersiz: Ölçüm kesildi", "İzleme kesildi", true, false, true, true},
    };
    for (const Case& c : cases) {
        const auto view = PerformanceViewModel::comparisonView(c.comparison, 12.4);
        EXPECT_EQ(view.state, QString::fromUtf8(c.state)) << c.what;
        EXPECT_EQ(view.progress, QString::fromUtf8(c.progress)) << c.what;
        EXPECT_EQ(view.verdict, QString::fromUtf8(c.verdict)) << c.what;
        if (*c.nextStepStart)
            EXPECT_TRUE(view.nextStep.startsWith(QString::fromUtf8(c.nextStepStart))) << c.what;
        else
            EXPECT_TRUE(view.nextStep.isEmpty()) << c.what;
        EXPECT_EQ(view.canStart, c.start) << c.what;
        EXPECT_EQ(view.canBegin, c.begin) << c.what;
        EXPECT_EQ(view.canSave, c.save) << c.what;
        EXPECT_EQ(view.canDismiss, c.dismiss) << c.what;
        const bool hasBaseline = c.comparison.baselineMean.has_value();
        EXPECT_EQ(view.means.contains(QStringLiteral("Başlangıç ortalaması")), hasBaseline) << c.what;
        EXPECT_EQ(view.means.contains(QStringLiteral("Sonraki ortalama")), c.comparison.afterMean.has_value())
            << c.what;
    }
}

TEST(PerformanceViewModel, SessionsStartStopListAndCompare) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    QCoro::waitFor(m.store.prepareArchive());
    m.sample(test::measuredSnapshot());
    PerformanceViewModel model(m.store);
    QAbstractItemModelTester sessions(model.sessions(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester rows(model.sessionComparison(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto settled = [&](const std::function<bool()>& done) {
        return test::spinUntil([&] {
            model.rebuildNow();
            return done();
        });
    };

    model.stopSession();
    ASSERT_TRUE(settled([&] { return !model.sessionMessage().isEmpty(); }));
    EXPECT_EQ(model.sessionMessage(), QStringLiteral("Süren bir performans oturumu yok."))
        << "stop without start";
    EXPECT_EQ(model.sessions()->count(), 0);

    // Two sessions: a busy one, then a quieter one.
    const auto session = [&](const QString& name, double cpu, int samples) {
        model.startSession(name);
        ASSERT_TRUE(settled([&] { return model.hasActiveSession(); })) << name.toStdString();
        for (int i = 0; i < samples; ++i) {
            SystemSnapshot s = test::measuredSnapshot();
            s.cpu.totalUsage = cpu;
            m.sample(s);
        }
        model.stopSession();
        ASSERT_TRUE(settled([&] { return !model.hasActiveSession(); })) << name.toStdString();
    };
    session(QStringLiteral("Önce"), 0.8, 3);
    model.startSession(QStringLiteral("   "));
    ASSERT_TRUE(settled([&] { return model.hasActiveSession(); }));
    EXPECT_TRUE(model.activeSession().startsWith(QStringLiteral("Performans Oturumu sürüyor")))
        << "a blank name gets the default: " << model.activeSession().toStdString();
    {
        test::ScopedLanguage english(true);
        model.rebuildNow();
        EXPECT_TRUE(model.activeSession().contains(QStringLiteral("running")) &&
                    model.activeSession().contains(QStringLiteral("measurement")) &&
                    !model.activeSession().contains(QStringLiteral("ölçüm")))
            << "every part in English: " << model.activeSession().toStdString();
    }
    model.rebuildNow();
    model.startSession(QStringLiteral("İkinci"));
    ASSERT_TRUE(settled([&] { return !model.sessionMessage().isEmpty(); }));
    EXPECT_EQ(model.sessionMessage(), QStringLiteral("Bir performans oturumu zaten sürüyor."));
    ASSERT_EQ(model.sessions()->count(), 2);
    EXPECT_TRUE(model.sessions()->value(0, "running").toBool()) << "newest first";
    EXPECT_EQ(model.sessions()->value(0, "duration").toString(), QStringLiteral("sürüyor"));
    for (int i = 0; i < 2; ++i) {
        SystemSnapshot s = test::measuredSnapshot();
        s.cpu.totalUsage = 0.2;
        m.sample(s);
    }
    model.stopSession();
    ASSERT_TRUE(settled([&] { return !model.hasActiveSession(); }));
    ASSERT_EQ(model.sessions()->count(), 2);
    EXPECT_EQ(model.sessions()->value(1, "name").toString(), QStringLiteral("Önce"));
    EXPECT_EQ(model.sessions()->value(1, "averageCPU").toString(), MetricFormatting::percentage(0.8));

    EXPECT_FALSE(model.compareSessions(QStringLiteral("nope"), model.sessions()->keyAt(0)));
    EXPECT_EQ(model.sessionComparison()->count(), 0);
    ASSERT_TRUE(model.compareSessions(model.sessions()->keyAt(1), model.sessions()->keyAt(0)));
    EXPECT_EQ(model.sessionComparisonTitle(), QStringLiteral("Önce → Performans Oturumu"));
    ASSERT_EQ(model.sessionComparison()->count(), 10);
    const int cpu = model.sessionComparison()->indexOf(QStringLiteral("CPU ort."));
    ASSERT_GE(cpu, 0);
    EXPECT_EQ(model.sessionComparison()->value(cpu, "difference").toString(),
              MetricFormatting::percentagePointDelta(0.2 - 0.8));
    const int battery = model.sessionComparison()->indexOf(QStringLiteral("Batarya değişimi"));
    ASSERT_GE(battery, 0);
    EXPECT_EQ(model.sessionComparison()->value(battery, "difference").toString(), QStringLiteral("—"))
        << "no battery: no difference, never zero";
    model.closeSessionComparison();
    EXPECT_EQ(model.sessionComparison()->count(), 0);
}

TEST(PerformanceViewModel, TheComparisonIsRefusedWhileMonitoringIsOff) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    m.sample(test::measuredSnapshot());
    PerformanceViewModel model(m.store);
    EXPECT_EQ(model.comparisonPhase(), QStringLiteral("idle"));
    EXPECT_TRUE(model.canStartComparison());
    EXPECT_FALSE(model.startComparison());
    EXPECT_TRUE(model.comparisonMessage().startsWith(QStringLiteral("Karşılaştırma başlatılamadı")));
    EXPECT_EQ(model.comparisonPhase(), QStringLiteral("idle"));
    EXPECT_FALSE(model.beginAfterWindow());
    EXPECT_FALSE(model.canSaveComparison());
    EXPECT_EQ(model.comparisonActions().size(), 3);
}
