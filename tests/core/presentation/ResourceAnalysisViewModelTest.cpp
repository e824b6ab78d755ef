// The resource analysis section and the battery section's application impact, over a store whose
// foreground application and per-application accounting are fakes.

#include "presentation/ResourceAnalysisViewModel.h"

#include "PresentationFixtures.h"
#include "presentation/BatteryViewModel.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class FakeForeground : public ForegroundApplicationProviding {
public:
    std::optional<ForegroundApplication> current;
    MetricAvailability known = MetricAvailability::available();
    std::optional<ForegroundApplication> currentApplication() override { return current; }
    MetricAvailability availability() const override { return known; }
};

class FakeUsage : public ApplicationUsageReading {
public:
    AppSliceReading reading;
    AppSliceReading read() const override { return reading; }
};

ForegroundApplication app(const char* name) {
    return ForegroundApplication{QString::fromUtf8(name), {}};
}

SystemSnapshot load(double cpu, bool onBattery = false) {
    SystemSnapshot s = test::measuredSnapshot();
    s.cpu.totalUsage = cpu;
    if (onBattery) {
        s.battery.isPresent = true;
        s.battery.chargeFraction = 0.6;
        s.battery.isConnectedToPowerAdapter = false;
        s.battery.voltageVolts = 12;
        s.battery.amperageAmps = -1.5;
        s.battery.availability = MetricAvailability::available();
    }
    return s;
}

struct ObservedStore {
    Date now = Date::now();
    InMemoryPreferencesStore preferences;
    std::shared_ptr<test::FakeSampler> sampler = std::make_shared<test::FakeSampler>(&now);
    std::shared_ptr<test::FakeRepository> repository = std::make_shared<test::FakeRepository>();
    std::shared_ptr<FakeForeground> foreground = std::make_shared<FakeForeground>();
    std::shared_ptr<FakeUsage> usage = std::make_shared<FakeUsage>();
    std::unique_ptr<SystemMonitorStore> store;

    explicit ObservedStore(bool withProviders = true) {
        sampler->next = test::measuredSnapshot();
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.dateProvider = [this] { return now; };
        if (withProviders) {
            d.resourceAnalysis.foregroundApplicationProvider = foreground;
            d.resourceAnalysis.applicationUsageReader = usage;
        }
        store = std::make_unique<SystemMonitorStore>(std::move(d));
    }
    // `count` samples of `snapshot` with `application` in front, two seconds apart.
    void observe(const char* application, const SystemSnapshot& snapshot, int count) {
        foreground->current = app(application);
        for (int i = 0; i < count; ++i) {
            SystemSnapshot s = snapshot;
            s.timestamp = now;
            sampler->next = s;
            QCoro::waitFor(store->refresh());
            now = now.addingSeconds(2);
        }
    }
};

std::vector<QString> column(KeyedListModel* model, const QByteArray& role) {
    std::vector<QString> out;
    for (int i = 0; i < model->count(); ++i)
        out.push_back(model->value(i, role).toString());
    return out;
}

} // namespace

TEST(ResourceAnalysisViewModel, ConsentObservationsAndWithdrawal) {
    test::ScopedLanguage turkish(false);
    ObservedStore m;
    ResourceAnalysisViewModel model(*m.store);
    QAbstractItemModelTester tester(model.applications(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    struct Step {
        const char* what;
        std::function<void()> act;
        bool consented;
        std::vector<QString> applications; // ranked
        bool leading;
        const char* heading; // the correlation card's heading, empty without consent
    };
    const Step steps[] = {
        {"off by default: nothing is observed",
         [&] { m.observe("Derleyici", load(0.95), 4); },
         false,
         {},
         false,
         ""},
        {"consent given: nothing yet",
         [&] { model.setConsent(true); },
         true,
         {},
         false,
         "Henüz uygulama gözlemi yok"},
        {"a busy application and a quiet one",
         [&] {
             m.observe("Notlar", load(0.05), 3);
             m.observe("Derleyici", load(0.95), 12);
         },
         true,
         {QStringLiteral("Derleyici"), QStringLiteral("Notlar")},
         true,
         "En güçlü gözlenen korelasyon"},
        {"cleared: the consent stays",
         [&] { model.clearObservations(); },
         true,
         {},
         false,
         "Henüz uygulama gözlemi yok"},
        {"only quiet use: no leading candidate",
         [&] { m.observe("Notlar", load(0.05), 5); },
         true,
         {QStringLiteral("Notlar")},
         false,
         "Belirgin bir etken yok"},
        {"withdrawn: everything is dropped at once", [&] { model.setConsent(false); }, false, {}, false, ""},
        {"given again: nothing comes back",
         [&] { model.setConsent(true); },
         true,
         {},
         false,
         "Henüz uygulama gözlemi yok"},
    };
    for (const Step& step : steps) {
        step.act();
        model.rebuildNow();
        EXPECT_EQ(model.consented(), step.consented) << step.what;
        EXPECT_EQ(m.store->resourceAnalysisEnabled(), step.consented) << step.what;
        EXPECT_EQ(column(model.applications(), "application"), step.applications) << step.what;
        EXPECT_EQ(model.hasLeadingCandidate(), step.leading) << step.what;
        EXPECT_EQ(model.isEmpty() ? model.emptyTitle() : model.leadingTitle(),
                  QString::fromUtf8(step.heading))
            << step.what;
        if (!step.consented) {
            EXPECT_TRUE(m.store->resourceActivityObservations().empty()) << step.what;
            EXPECT_EQ(model.consentButton(), QStringLiteral("Açık Onay Ver ve Başlat")) << step.what;
            EXPECT_TRUE(model.usageTitle().isEmpty()) << "the measured table needs the same consent";
        }
    }
}

TEST(ResourceAnalysisViewModel, TheRankingIsWordedAsACorrelation) {
    test::ScopedLanguage turkish(false);
    ObservedStore m;
    ResourceAnalysisViewModel model(*m.store);
    model.setConsent(true);
    m.observe("Notlar", load(0.05), 3);
    m.observe("Derleyici", load(0.95), 12);
    model.rebuildNow();
    ASSERT_EQ(model.applications()->count(), 2);
    EXPECT_EQ(model.applications()->keyAt(0), QStringLiteral("name:derleyici"));
    EXPECT_EQ(model.leadingDetail(), QStringLiteral("Derleyici ön plandayken sistem CPU kullanımı ortalama "
                                                    "%95, tepe %95; ortalama bellek kullanımı %30"));
    EXPECT_TRUE(model.caveat().contains(QStringLiteral("doğrudan ölçümü değildir")));
    EXPECT_EQ(model.columns(),
              (QStringList{QStringLiteral("Uygulama"), QStringLiteral("CPU ort."), QStringLiteral("CPU tepe"),
                           QStringLiteral("Bellek"), QStringLiteral("Sinyal")}));
    EXPECT_EQ(column(model.applications(), "signal"),
              (std::vector<QString>{QStringLiteral("Orta"), QStringLiteral("Düşük")}));
    const double interval = m.store->sampleInterval();
    EXPECT_TRUE(model.privacyPoints().value(0).contains(
        QStringLiteral("her %1 saniyede").arg(QString::number(interval))))
        << model.privacyPoints().value(0).toStdString();

    test::ScopedLanguage english(true);
    model.rebuildNow();
    EXPECT_TRUE(model.leadingDetail().startsWith(QStringLiteral("With Derleyici in the foreground")))
        << model.leadingDetail().toStdString();
}

TEST(ResourceAnalysisViewModel, WhatCannotBeKnownSaysWhy) {
    test::ScopedLanguage turkish(false);
    ObservedStore m(false); // the default providers: nothing can be known here
    ResourceAnalysisViewModel model(*m.store);
    EXPECT_TRUE(model.foregroundUnavailable().isEmpty()) << "not asked before consent";
    model.setConsent(true);
    m.observe("Derleyici", load(0.95), 2);
    ASSERT_TRUE(test::spinUntil([&] {
        model.rebuildNow();
        return !model.usageUnavailable().isEmpty();
    }));
    EXPECT_EQ(
        model.foregroundUnavailable(),
        QStringLiteral("Ön plandaki uygulama bilinemiyor: Bu sistemde ön plandaki uygulamayı bildiren bir "
                       "kaynak yok."));
    EXPECT_EQ(model.usageUnavailable(), QStringLiteral("Bu sistemde uygulama başına kullanım ölçülemiyor."));
    EXPECT_EQ(model.applications()->count(), 0);
    EXPECT_EQ(model.usage()->count(), 0);
}

TEST(ResourceAnalysisViewModel, TheMeasuredTable) {
    test::ScopedLanguage turkish(false);
    ObservedStore m;
    m.usage->reading.availability = MetricAvailability::available();
    m.usage->reading.diskSource = DiskUsageSource::unitTotals;
    m.usage->reading.units = {
        {QStringLiteral("app-gnome-editor-11.scope"), QStringLiteral("editor"), QStringLiteral("Editör"),
         2'000'000, 300'000'000, 1'000'000, std::nullopt},
        {QStringLiteral("app-gnome-oyun-12.scope"), QStringLiteral("oyun"), QStringLiteral("Oyun"),
         90'000'000, std::nullopt, 5'000'000, 7'000'000},
    };
    ResourceAnalysisViewModel model(*m.store);
    QAbstractItemModelTester tester(model.usage(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setConsent(true);
    m.observe("Oyun", load(0.5), 1);
    ASSERT_TRUE(test::spinUntil([&] {
        model.rebuildNow();
        return model.usage()->count() == 2;
    }));
    EXPECT_EQ(model.usageTitle(), QStringLiteral("Uygulamaların kendi kullanımı"));
    EXPECT_TRUE(model.usageCaption().contains(QStringLiteral("korelasyon değil")));
    EXPECT_EQ(model.usage()->keyAt(0), QStringLiteral("oyun")) << "most CPU time first";
    EXPECT_EQ(column(model.usage(), "application"),
              (std::vector<QString>{QStringLiteral("Oyun"), QStringLiteral("Editör")}));
    // Missing values are said to be missing, never zero.
    EXPECT_EQ(model.usage()->value(0, "memory").toString(), QStringLiteral("Kullanılamıyor"));
    EXPECT_EQ(model.usage()->value(1, "diskWritten").toString(), QStringLiteral("Kullanılamıyor"));
    EXPECT_TRUE(model.usageUnavailable().isEmpty());

    model.setConsent(false);
    EXPECT_EQ(model.usage()->count(), 0) << "withdrawing drops the measured table too";
}

TEST(BatteryViewModel, PowerOnBatteryPerApplicationNeedsConsentAndABattery) {
    test::ScopedLanguage turkish(false);
    ObservedStore m;
    BatteryViewModel battery(*m.store);
    QAbstractItemModelTester tester(battery.impact(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.observe("Oyun", load(0.9, true), 3);
    battery.rebuildNow();
    EXPECT_FALSE(battery.showsApplicationImpact()) << "without consent";

    m.store->setResourceAnalysisEnabled(true);
    battery.rebuildNow();
    EXPECT_TRUE(battery.showsApplicationImpact());
    EXPECT_EQ(battery.impactEmpty(), QStringLiteral("Bu oturumda pille çalışırken gözlem yok."));

    m.observe("Oyun", load(0.9, true), 3);
    SystemSnapshot unmeasured = load(0.2, true);
    unmeasured.battery.amperageAmps.reset();
    m.observe("Notlar", unmeasured, 2);
    SystemSnapshot plugged = load(0.2, true);
    plugged.battery.isConnectedToPowerAdapter = true;
    m.observe("Şarjda", plugged, 2);
    battery.rebuildNow();
    EXPECT_TRUE(battery.impactTitle().contains(QStringLiteral("ön plandaki")));
    EXPECT_TRUE(battery.impactCaveat().contains(QStringLiteral("kendi tüketimi değildir")));
    ASSERT_EQ(battery.impact()->count(), 2) << "an application seen only on the adapter is absent";
    EXPECT_EQ(column(battery.impact(), "application"),
              (std::vector<QString>{QStringLiteral("Oyun"), QStringLiteral("Notlar")}));
    EXPECT_TRUE(battery.impact()->value(0, "discharge").toString().startsWith(QStringLiteral("18")))
        << battery.impact()->value(0, "discharge").toString().toStdString();
    EXPECT_EQ(battery.impact()->value(1, "discharge").toString(), QStringLiteral("Güç ölçümü yok"))
        << "no reading is no figure, not zero";

    m.store->setResourceAnalysisEnabled(false);
    battery.rebuildNow();
    EXPECT_FALSE(battery.showsApplicationImpact());
    EXPECT_EQ(battery.impact()->count(), 0);
}
