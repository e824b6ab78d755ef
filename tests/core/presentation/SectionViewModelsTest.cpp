// What the live sections show of the monitoring store, and how they follow it.

#include "PresentationFixtures.h"
#include "presentation/BatteryViewModel.h"
#include "presentation/HealthCenterViewModel.h"
#include "presentation/NavigationSection.h"
#include "presentation/NetworkViewModel.h"
#include "presentation/OverviewViewModel.h"
#include "presentation/SettingsViewModel.h"
#include "presentation/ShellViewModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>

using namespace kestrum;
using test::measuredSnapshot;
using test::MeasuredStore;

namespace {

SystemSnapshot withoutCPU() {
    SystemSnapshot s = measuredSnapshot();
    s.cpu = CPUStats::empty();
    return s;
}

SystemSnapshot onBattery(double charge, bool charging) {
    SystemSnapshot s = measuredSnapshot();
    s.battery.availability = MetricAvailability::available();
    s.battery.isPresent = true;
    s.battery.chargeFraction = charge;
    s.battery.isCharging = charging;
    s.battery.isConnectedToPowerAdapter = charging;
    s.battery.timeRemainingMinutes = 95;
    return s;
}

SystemSnapshot offline() {
    SystemSnapshot s = measuredSnapshot();
    s.network.isConnected = false;
    s.network.trafficAvailability = MetricAvailability::unavailable(QStringLiteral("Ağ bağlantısı yok."));
    return s;
}

} // namespace

TEST(OverviewViewModel, HeadlineFiguresForEachKindOfReading) {
    test::ScopedLanguage turkish(false);
    struct Case {
        const char* name;
        SystemSnapshot snapshot;
        MetricFigure* (OverviewViewModel::*figure)();
        const char* value;
        const char* caption;
    } cases[] = {
        {"cpu read", measuredSnapshot(), &OverviewViewModel::cpu, "23,4%", ""},
        {"cpu unread says why", withoutCPU(), &OverviewViewModel::cpu, "Kullanılamıyor",
         "CPU kullanımı okunamadı."},
        {"memory share with used of total", measuredSnapshot(), &OverviewViewModel::memory, "30,0%",
         "0 KB / 1 KB"},
        {"download with upload under it", measuredSnapshot(), &OverviewViewModel::download, "1,3 MB/sn",
         "Yükleme 52 KB/sn"},
        {"no traffic: the reason, not a zero", offline(), &OverviewViewModel::download, "Kullanılamıyor",
         "Ağ bağlantısı yok."},
        {"no battery: why", measuredSnapshot(), &OverviewViewModel::battery, "Batarya yok",
         "Batarya bilgisi okunamadı."},
        {"on battery: charge and state", onBattery(0.61, false), &OverviewViewModel::battery, "61%",
         "Batarya ile çalışıyor"},
    };
    for (auto& c : cases) {
        MeasuredStore m;
        OverviewViewModel model(m.store);
        m.sample(c.snapshot);
        model.rebuildNow();
        const MetricFigure* figure = (model.*c.figure)();
        EXPECT_EQ(figure->value(), QString::fromUtf8(c.value)) << c.name;
        EXPECT_EQ(figure->caption(), QString::fromUtf8(c.caption)) << c.name;
        EXPECT_TRUE(
            figure->accessibleText().startsWith(figure->title() + QStringLiteral(": ") + figure->value()))
            << c.name;
    }
}

TEST(OverviewViewModel, FollowsSamplesInPlace) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    OverviewViewModel model(m.store);
    EXPECT_EQ(model.title(), QStringLiteral("İlk ölçüm bekleniyor"));
    EXPECT_EQ(model.level(), QStringLiteral("unavailable"));

    m.sample(measuredSnapshot());
    m.sample(withoutCPU());
    model.rebuildNow();
    EXPECT_EQ(model.level(), QStringLiteral("normal"));
    EXPECT_TRUE(model.subtitle().startsWith(QStringLiteral("Son ölçüm ")));
    // A sample without a CPU reading is a gap in the line, not a zero.
    const QList<qreal> cpu = model.cpu()->series();
    ASSERT_EQ(cpu.size(), 2);
    EXPECT_DOUBLE_EQ(cpu[0], 0.234);
    EXPECT_TRUE(std::isnan(cpu[1]));
    EXPECT_EQ(model.cores()->count(), 0) << "no per-core bars without a reading";
    EXPECT_EQ(model.groups()->count(), 9);
    ASSERT_NE(model.group(QStringLiteral("cpu")), nullptr);
    EXPECT_FALSE(model.group(QStringLiteral("cpu"))->isAvailable());

    // From now on a sample only changes values: groups, their rows and the cores stay.
    m.sample(measuredSnapshot());
    model.rebuildNow();
    ASSERT_EQ(model.cores()->count(), 2);
    EXPECT_TRUE(model.cores()->value(1, "isBusy").toBool()) << "95% is busy";
    EXPECT_FALSE(model.cores()->value(0, "isBusy").toBool());
    QAbstractItemModelTester groupsTester(model.groups(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    MetricGroup* memory = model.group(QStringLiteral("memory"));
    QSignalSpy groupRows(model.groups(), &QAbstractItemModel::rowsInserted);
    QSignalSpy groupGone(model.groups(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy coreRows(model.cores(), &QAbstractItemModel::rowsInserted);
    QSignalSpy memoryRows(memory->rows(), &QAbstractItemModel::rowsInserted);
    QSignalSpy memoryValues(memory->rows(), &QAbstractItemModel::dataChanged);
    SystemSnapshot busier = measuredSnapshot();
    busier.memory.usedBytes = 700;
    busier.cpu.perCoreUsage = {0.5, 0.6};
    m.sample(busier);
    model.rebuildNow();
    EXPECT_EQ(groupRows.count() + groupGone.count() + coreRows.count() + memoryRows.count(), 0);
    EXPECT_EQ(model.group(QStringLiteral("memory")), memory) << "the same group object, so the same card";
    EXPECT_GE(memoryValues.count(), 1);
    EXPECT_EQ(model.memory()->value(), QStringLiteral("70,0%"));
}

TEST(OverviewViewModel, CoalescesAndWaitsWhileHidden) {
    MeasuredStore m;
    OverviewViewModel model(m.store);
    QSignalSpy values(model.cpu(), &MetricFigure::seriesChanged);
    model.setActive(false);
    for (int i = 0; i < 3; ++i)
        m.sample(measuredSnapshot());
    test::spinUntil([] { return false; }, 20);
    EXPECT_EQ(values.count(), 0) << "nothing is rebuilt for a hidden section";
    model.setActive(true);
    EXPECT_EQ(values.count(), 1) << "one catch-up";
    EXPECT_EQ(model.cpu()->series().size(), 3);
    model.setActive(true);
    EXPECT_EQ(values.count(), 1) << "already current";

    // Several store changes in one event-loop turn make one rebuild.
    m.sample(measuredSnapshot());
    m.sample(measuredSnapshot());
    test::spinUntil([] { return false; }, 20);
    EXPECT_EQ(values.count(), 2);
}

TEST(BatteryAndNetworkViewModels, ShowTheirGroupAndFigures) {
    test::ScopedLanguage turkish(false);
    struct Case {
        const char* name;
        SystemSnapshot snapshot;
        bool present, hasCharge, low;
        const char* statusLine;
    } cases[] = {
        {"discharging", onBattery(0.61, false), true, true, false,
         "Batarya ile çalışıyor · Kalan süre: 1 sa 35 dk"},
        {"charging shows the time to full", onBattery(0.15, true), true, true, true,
         "Şarj oluyor · Dolmasına kalan: 1 sa 35 dk"},
        {"no battery", measuredSnapshot(), false, false, false, ""},
    };
    for (const auto& c : cases) {
        MeasuredStore m;
        BatteryViewModel battery(m.store);
        m.sample(c.snapshot);
        battery.rebuildNow();
        EXPECT_EQ(battery.isPresent(), c.present) << c.name;
        EXPECT_EQ(battery.hasCharge(), c.hasCharge) << c.name;
        EXPECT_EQ(battery.isLow(), c.low) << c.name;
        EXPECT_EQ(battery.statusLine(), QString::fromUtf8(c.statusLine)) << c.name;
        EXPECT_EQ(battery.group()->key(), QStringLiteral("battery"));
    }

    MeasuredStore m;
    NetworkViewModel network(m.store);
    m.sample(measuredSnapshot());
    m.sample(offline());
    network.rebuildNow();
    EXPECT_EQ(network.download()->value(), QStringLiteral("Kullanılamıyor"));
    EXPECT_EQ(network.upload()->caption(), QStringLiteral("Ağ bağlantısı yok."));
    ASSERT_EQ(network.upload()->series().size(), 2);
    EXPECT_DOUBLE_EQ(network.upload()->series()[0], 52'000);
    EXPECT_TRUE(std::isnan(network.upload()->series()[1]));
    EXPECT_EQ(network.group()->valueOf(QStringLiteral("Bağlantı")), QStringLiteral("Bağlı değil"));
}

TEST(HealthCenterViewModel, EventsIncidentsAndNotifications) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    const auto event = [&](double secondsAgo, const char* signature) {
        return HealthEvent{newUuid(),
                           m.now.addingSeconds(-secondsAgo),
                           HealthInsightKind::cpu,
                           HealthLevel::attention,
                           QStringLiteral("CPU kullanımı kişisel normalinin üstünde"),
                           QStringLiteral("Anlık kullanım %93."),
                           QString(),
                           QString::fromLatin1(signature)};
    };
    // Two observations of one condition 10 minutes apart, an older one, and one outside the week.
    m.repository->stored.events = {event(10 * 86400.0, "cpu"), event(3 * 86400.0, "cpu"), event(1200, "cpu"),
                                   event(600, "cpu")};
    QCoro::waitFor(m.store.prepareArchive());
    QCoro::waitFor(m.store.refresh());
    HealthCenterViewModel model(m.store);

    KeyedListModel* groups = model.eventGroups();
    ASSERT_EQ(groups->count(), 2);
    EXPECT_EQ(groups->value(0, "detail").toString(), QStringLiteral("Anlık kullanım %93. · 2 kez gözlendi"));
    EXPECT_TRUE(groups->value(0, "when").toString().contains(QStringLiteral(" – ")));
    EXPECT_EQ(groups->value(1, "detail").toString(), QStringLiteral("Anlık kullanım %93."));
    EXPECT_EQ(model.levelLabel(), QStringLiteral("Normal"));
    EXPECT_EQ(model.baselineLabel(), QStringLiteral("Öğreniyor"));
    EXPECT_TRUE(model.isLearning());
    EXPECT_EQ(model.baselineValues()->rows()->count(), 6);
    EXPECT_TRUE(model.evaluatedLine().startsWith(QStringLiteral("Değerlendirilen: ")));

    EXPECT_FALSE(model.hasActiveIncident());
    model.startIncident(QStringLiteral("fan sesi"));
    ASSERT_TRUE(test::spinUntil([&] { return model.hasActiveIncident(); }));
    EXPECT_TRUE(model.incidentText().startsWith(QStringLiteral("Açık işaret: fan sesi · ")));
    model.stopIncident();
    ASSERT_TRUE(test::spinUntil([&] { return !model.hasActiveIncident(); }));
    EXPECT_EQ(m.repository->stored.incidents.size(), 1u) << "the marker is saved";
}

TEST(ShellViewModel, SectionsShortcutsAndTheRememberedSection) {
    test::ScopedLanguage english(true);
    MeasuredStore m;
    const auto sections = availableSections(builtCapabilities());
    {
        ShellViewModel shell(m.store, m.preferences, sections);
        QAbstractItemModelTester tester(shell.sections(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        ASSERT_EQ(shell.sections()->count(), static_cast<int>(sections.size()));
        EXPECT_EQ(shell.currentKey(), QStringLiteral("overview")) << "the first section without a saved one";
        // Rows by the section they show: sections are added to the sidebar as they are built.
        const auto row = [&](NavigationSection section) {
            return int(std::find(sections.begin(), sections.end(), section) - sections.begin());
        };
        const int battery = row(NavigationSection::battery);
        EXPECT_EQ(shell.sections()->value(row(NavigationSection::network), "title").toString(),
                  QStringLiteral("Network & Wi-Fi"));
        EXPECT_EQ(shell.sections()->value(0, "shortcut").toString(), QStringLiteral("Ctrl+1"));
        EXPECT_EQ(shell.sections()->value(row(NavigationSection::storageMap), "view").toString(),
                  QStringLiteral("StorageMapSection.qml"));

        int refreshed = 0;
        shell.setRefreshAction(NavigationSection::overview, [&] { ++refreshed; });
        EXPECT_TRUE(shell.canRefresh());
        shell.refresh();
        shell.selectSection(battery);
        EXPECT_FALSE(shell.canRefresh()) << "no action for the battery section here";
        shell.refresh();
        EXPECT_EQ(refreshed, 1);

        QSignalSpy moved(&shell, &ShellViewModel::currentSectionChanged);
        for (const int outside : {-1, static_cast<int>(sections.size()), battery})
            shell.selectSection(outside);
        EXPECT_EQ(moved.count(), 0) << "outside the sidebar, or the section already shown";
        shell.selectSectionByKey(QStringLiteral("storageMap"));
        EXPECT_EQ(shell.currentView(), QStringLiteral("StorageMapSection.qml"));
    }
    // A new window opens on the section the last one showed; a saved section no longer built is ignored.
    EXPECT_EQ(ShellViewModel(m.store, m.preferences, sections).currentKey(), QStringLiteral("storageMap"));
    m.preferences.setValue(ShellViewModel::kSectionKey, QStringLiteral("retiredSection"));
    EXPECT_EQ(ShellViewModel(m.store, m.preferences, sections).currentKey(), QStringLiteral("overview"));
}

TEST(ShellViewModel, MonitoringStatusAndToggle) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    ShellViewModel shell(m.store, m.preferences, availableSections(builtCapabilities()),
                         QStringLiteral("Bu geçmiş klasörü başka bir Kestrum süreci tarafından izleniyor."));
    EXPECT_EQ(shell.monitoringText(), QStringLiteral("İzleme durdu"));
    EXPECT_EQ(shell.monitoringActionText(), QStringLiteral("Başlat"));
    EXPECT_EQ(shell.problemText(), shell.archiveBlockedReason()) << "the blocked archive comes first";
    shell.toggleMonitoring();
    EXPECT_TRUE(m.store.isMonitoring());
    EXPECT_EQ(shell.monitoringText(), QStringLiteral("İzleniyor"));
    shell.toggleMonitoring();
    EXPECT_FALSE(m.store.isMonitoring());
}

TEST(NavigationSection, OneTableNamesEverySectionAndItsView) {
    std::set<NavigationSection> inTable;
    for (const NavigationSectionEntry& entry : navigationTable()) {
        EXPECT_TRUE(inTable.insert(entry.section).second)
            << rawValue(entry.section).toStdString() << " twice";
        EXPECT_FALSE(QString::fromLatin1(entry.symbol).isEmpty());
    }
    EXPECT_EQ(inTable.size(), std::size(EnumTraits<NavigationSection>::cases));
    std::vector<NavigationSection> every;
    for (const NavigationSectionEntry& entry : navigationTable())
        every.push_back(entry.section);
    EXPECT_EQ(availableSections(builtCapabilities()), every) << "every section has its view";
    EXPECT_EQ(availableSections({NavigationSection::history, NavigationSection::overview}),
              (std::vector<NavigationSection>{NavigationSection::overview, NavigationSection::history}))
        << "sidebar order, whatever order they are asked in";
    EXPECT_EQ(navigationViewFile(NavigationSection::history), QStringLiteral("HistorySection.qml"));
}

TEST(SettingsViewModel, IntervalsAndTrayChoices) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    MenuBarPreferences tray(m.preferences);
    SettingsViewModel settings(m.store, tray);
    EXPECT_EQ(settings.intervalChoices(), (QStringList{"1 sn", "2 sn", "5 sn", "10 sn", "30 sn"}));
    EXPECT_EQ(settings.intervalIndex(), 1);
    settings.chooseInterval(3);
    EXPECT_EQ(m.store.sampleInterval(), 10);
    settings.chooseInterval(9);
    EXPECT_EQ(m.store.sampleInterval(), 10) << "no such choice";
    // An interval stored by an older version is offered, not shown as another one.
    m.store.setSampleInterval(3);
    EXPECT_EQ(settings.intervalChoices().value(2), QStringLiteral("3 sn"));
    EXPECT_EQ(settings.intervalIndex(), 2);

    settings.choosePrimaryMetric(2);
    EXPECT_EQ(tray.primaryMetric(), MenuBarPrimaryMetric::battery);
    EXPECT_EQ(settings.primaryMetricIndex(), 2);
    settings.setTrayRowShown(QStringLiteral("thermal"), false);
    EXPECT_FALSE(tray.isVisible(MenuBarPrimaryMetric::thermal));
    const int thermal = settings.trayRows()->indexOf(QStringLiteral("thermal"));
    EXPECT_FALSE(settings.trayRows()->value(thermal, "shown").toBool());
    settings.setTrayRowShown(QStringLiteral("no-such-metric"), false);
    settings.hideAllTrayRows();
    for (int i = 0; i < settings.trayRows()->count(); ++i)
        EXPECT_FALSE(settings.trayRows()->value(i, "shown").toBool());
}
