#include "TestSupport.h"
#include "core/monitor/MonitorFakes.h"
#include "foundation/Uuid.h"
#include "presentation/MonitorViewModel.h"
#include "presentation/NavigationSection.h"
#include "presentation/StorageMapViewModel.h"
#include "presentation/TrayPresentation.h"

#include <cmath>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace kestrum;
using M = MenuBarPrimaryMetric;

namespace {

SystemSnapshot measured() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date::now());
    s.cpu = CPUStats{0.234, {0.2, 0.268}, {1.0}, MetricAvailability::available()};
    s.memory = MemoryStats{300, 1000, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1000, 500, MetricAvailability::available()};
    s.thermal = ThermalLevel::nominal;
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::ethernet;
    s.network.downloadBytesPerSecond = 1'340'000;
    return s;
}

// A monitoring store over a fake sampler that returns `measured()` until told otherwise.
struct MeasuredStore {
    Date now = Date::now();
    InMemoryPreferencesStore preferences;
    std::shared_ptr<test::FakeSampler> sampler = std::make_shared<test::FakeSampler>(&now);
    std::shared_ptr<test::FakeRepository> repository = std::make_shared<test::FakeRepository>();
    SystemMonitorStore store{dependencies()};

    SystemMonitorStore::Dependencies dependencies() {
        sampler->next = measured();
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.dateProvider = [this] { return now; };
        return d;
    }
};

// Thirteen children of one folder, the first twice the size of the rest; "broken" fails like a file.
class ThirteenChildren : public StorageMapScanning {
public:
    StorageScanResult scan(const QString& root, std::stop_token) override {
        if (root.endsWith(u"broken"))
            throw StorageMapScannerError::locationIsNotDirectory();
        StorageScanResult r;
        r.rootPath = root;
        r.rootName = root.section(u'/', -1);
        for (int i = 0; i < 13; ++i) {
            const QString name = QStringLiteral("child%1").arg(i);
            r.items.push_back({name, name, i == 0 ? 2'000'000u : 1'000'000u, 1000});
        }
        r.allocatedBytes = 14'000'000;
        r.fileCount = 13'000;
        r.categories = {{StorageCategory::video, 10'500'000, 3}, {StorageCategory::other, 3'500'000, 12'997}};
        return r;
    }
};

class RememberNothing : public StoragePermissionPersisting {
public:
    void save(const QString&) override {}
    std::optional<QString> load() override { return std::nullopt; }
    void clear() override {}
};

} // namespace

TEST(NavigationSection, OnlySectionsWithTheirCapabilityInSidebarOrder) {
    const auto sections = availableSections(builtCapabilities());
    EXPECT_EQ(sections,
              (std::vector<NavigationSection>{NavigationSection::overview, NavigationSection::healthCenter,
                                              NavigationSection::battery, NavigationSection::network,
                                              NavigationSection::storageMap}));
    EXPECT_TRUE(availableSections({}).empty());
    EXPECT_EQ(availableSections({NavigationSection::history, NavigationSection::overview}),
              (std::vector<NavigationSection>{NavigationSection::overview, NavigationSection::history}));
    test::ScopedLanguage english(true);
    EXPECT_EQ(navigationTitle(NavigationSection::network), QStringLiteral("Network & Wi-Fi"));
    for (const NavigationSection section : allCases<NavigationSection>())
        EXPECT_FALSE(navigationSymbol(section).isEmpty());
}

TEST(TrayPresentation, LabelIconTextTooltipAndRows) {
    test::ScopedLanguage turkish(false);
    const SystemSnapshot s = measured();
    struct Case {
        const char* name;
        M primary;
        SystemSnapshot snapshot;
        bool measured;
        const char* label;
        const char* iconText;
        const char* symbol;
    } cases[] = {
        {"cpu", M::cpu, s, true, "CPU 23%", "23", "cpu"},
        {"before the first sample", M::cpu, s, false, "CPU —", "", "cpu"},
        {"memory", M::memory, s, true, "RAM 30%", "30", "memorychip"},
        {"network rate", M::network, s, true, "↓1,3 MB/sn", "1,3M", "arrow.down.circle"},
        {"thermal has no number", M::thermal, s, true, "Termal Normal", "", "checkmark.circle.fill"},
        {"battery missing", M::battery, s, true, "Batarya —", "", "battery.75percent"},
    };
    for (const auto& c : cases) {
        const TrayPresentation p =
            TrayPresentation::make(c.snapshot, {}, c.measured, c.primary, {M::cpu, M::health});
        EXPECT_EQ(p.label, QString::fromUtf8(c.label)) << c.name;
        EXPECT_EQ(p.iconText, QString::fromUtf8(c.iconText)) << c.name;
        EXPECT_EQ(p.symbol, QString::fromUtf8(c.symbol)) << c.name;
        ASSERT_EQ(p.rows.size(), 2u) << c.name;
        EXPECT_EQ(p.rows[1].metric, M::health) << c.name;
    }
    const HealthInsight critical{HealthInsightKind::thermal,        HealthLevel::critical, {}, {}, {},
                                 QStringLiteral("thermal-critical")};
    const TrayPresentation alarmed = TrayPresentation::make(s, {critical}, true, M::cpu, {});
    EXPECT_EQ(alarmed.tooltip, QStringLiteral("CPU 23% · Sağlık: Kritik"));
    EXPECT_EQ(alarmed.healthSymbol, QStringLiteral("exclamationmark.octagon.fill"));
    EXPECT_TRUE(alarmed.rows.empty());
    SystemSnapshot fast = s;
    fast.network.downloadBytesPerSecond = 12'400'000;
    EXPECT_EQ(TrayPresentation::make(fast, {}, true, M::network, {}).iconText, QStringLiteral("12M"));
    test::ScopedLanguage english(true);
    EXPECT_EQ(TrayPresentation::make(s, {}, true, M::network, {}).iconText, QStringLiteral("1.3M"));
}

TEST(MonitorViewModel, WhatTheSectionsShow) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    Date& now = m.now;
    auto& sampler = m.sampler;
    SystemMonitorStore& store = m.store;
    MonitorViewModel model(store);

    EXPECT_FALSE(model.hasMeasurement());
    EXPECT_EQ(model.headline().value(QStringLiteral("title")).toString(),
              QStringLiteral("İlk ölçüm bekleniyor"));

    QCoro::waitFor(store.refresh());
    now = now.addingSeconds(2);
    SystemSnapshot unreadCPU = measured();
    unreadCPU.cpu = CPUStats::empty();
    sampler->next = unreadCPU; // a gap in the CPU chart, not a zero
    QCoro::waitFor(store.refresh());
    model.rebuild();

    const QVariantList groups = model.groups();
    ASSERT_EQ(groups.size(), 9);
    const QVariantMap cpu = groups[0].toMap();
    EXPECT_FALSE(cpu.value(QStringLiteral("isAvailable")).toBool());
    EXPECT_EQ(cpu.value(QStringLiteral("note")).toString(), QStringLiteral("CPU kullanımı okunamadı."));
    const QVariantMap memory = groups[1].toMap();
    EXPECT_TRUE(memory.value(QStringLiteral("isAvailable")).toBool());
    EXPECT_FALSE(memory.value(QStringLiteral("rows")).toList().isEmpty());

    const QVariantList cpuSeries = model.series().value(QStringLiteral("cpu")).toList();
    ASSERT_EQ(cpuSeries.size(), 2);
    EXPECT_DOUBLE_EQ(cpuSeries[0].toDouble(), 0.234);
    EXPECT_TRUE(std::isnan(cpuSeries[1].toDouble()));
    EXPECT_TRUE(model.coreUsage().isEmpty()) << "no per-core bars without a reading";
    EXPECT_EQ(model.network().value(QStringLiteral("downloadText")).toString(), QStringLiteral("1,3 MB/sn"));
    EXPECT_FALSE(model.battery().value(QStringLiteral("isPresent")).toBool());
    EXPECT_EQ(model.assessment().value(QStringLiteral("levelLabel")).toString(), QStringLiteral("Normal"));
    EXPECT_EQ(model.baseline().value(QStringLiteral("label")).toString(), QStringLiteral("Öğreniyor"));
    EXPECT_TRUE(model.activeIncident().isEmpty());
}

TEST(MonitorViewModel, InactiveWhileNoWindowThenCatchesUpOnce) {
    MeasuredStore m;
    Date& now = m.now;
    SystemMonitorStore& store = m.store;
    MonitorViewModel model(store);
    int changes = 0;
    QObject::connect(&model, &MonitorViewModel::snapshotChanged, [&] { ++changes; });

    model.setActive(false);
    for (int i = 0; i < 3; ++i) {
        QCoro::waitFor(store.refresh());
        now = now.addingSeconds(2);
    }
    test::spinUntil([] { return false; }, 20);
    EXPECT_EQ(changes, 0) << "nothing is rebuilt for a hidden window";
    EXPECT_TRUE(model.series().value(QStringLiteral("cpu")).toList().isEmpty());

    model.setActive(true);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(model.series().value(QStringLiteral("cpu")).toList().size(), 3);
    model.setActive(true);
    EXPECT_EQ(changes, 1) << "already current";
}

TEST(StorageMapViewModel, TilesPaletteAndLabelSizes) {
    struct Case {
        double width, height;
        bool fits;
    } cases[] = {{96, 62, true}, {95.9, 62, false}, {96, 61.9, false}, {400, 400, true}};
    for (const auto& c : cases)
        EXPECT_EQ(StorageMapViewModel::labelsFit(c.width, c.height), c.fits) << c.width << "×" << c.height;
    EXPECT_EQ(StorageMapViewModel::kPalette.size(), 12u);
    EXPECT_EQ(
        std::set<std::string>(StorageMapViewModel::kPalette.begin(), StorageMapViewModel::kPalette.end())
            .size(),
        12u);
}

TEST(StorageMapViewModel, WhatTheStorageMapShowsThroughItsStates) {
    test::ScopedLanguage turkish(false);
    StorageMapStore store(std::make_shared<ThirteenChildren>(), std::make_shared<RememberNothing>());
    StorageMapViewModel model(store);
    EXPECT_EQ(model.state(), QStringLiteral("noFolder"));
    EXPECT_TRUE(model.items().isEmpty());

    model.chooseFolder(QUrl::fromLocalFile(QStringLiteral("/home/ayşe/Belgeler")));
    EXPECT_EQ(model.folder(), QStringLiteral("/home/ayşe/Belgeler")) << "a picked URL becomes a path";
    ASSERT_TRUE(test::spinUntil([&] { return model.state() == QStringLiteral("result"); }));

    ASSERT_EQ(model.summary().size(), 3);
    EXPECT_EQ(model.summary()[1].toMap().value(QStringLiteral("value")).toString(), QStringLiteral("13.000"));
    const QVariantList items = model.items();
    ASSERT_EQ(items.size(), 13);
    const QVariantMap first = items[0].toMap();
    EXPECT_EQ(first.value(QStringLiteral("filesText")).toString(), QStringLiteral("1.000 dosya"));
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("fraction")).toDouble(), 2.0 / 14.0);
    const QVariantList categories = model.categories();
    ASSERT_EQ(categories.size(), 2);
    EXPECT_EQ(categories[0].toMap().value(QStringLiteral("title")).toString(), QStringLiteral("Videolar"));
    EXPECT_DOUBLE_EQ(categories[0].toMap().value(QStringLiteral("fraction")).toDouble(), 0.75);

    // Colours follow the tile's position and start over after twelve.
    const QVariantList tiles = model.tiles();
    ASSERT_EQ(tiles.size(), 13);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(tiles[i].toMap().value(QStringLiteral("color")).toString(),
                  QLatin1String(StorageMapViewModel::kPalette[i % 12]))
            << i;

    model.chooseFolder(QUrl::fromLocalFile(QStringLiteral("/home/ayşe/broken")));
    ASSERT_TRUE(test::spinUntil([&] { return model.state() == QStringLiteral("failed"); }));
    EXPECT_EQ(model.message(), QStringLiteral("Seçilen konum bir klasör değil."));
    EXPECT_TRUE(model.tiles().isEmpty()) << "no stale map under a failure";

    model.forgetFolder();
    EXPECT_EQ(model.state(), QStringLiteral("noFolder"));
    EXPECT_TRUE(model.folder().isEmpty());
}

TEST(MonitorViewModel, HealthCentreEventsIncidentsAndSettings) {
    test::ScopedLanguage turkish(false);
    MeasuredStore m;
    const auto event = [&](double secondsAgo, const char* signature) {
        HealthEvent e{newUuid(),
                      m.now.addingSeconds(-secondsAgo),
                      HealthInsightKind::cpu,
                      HealthLevel::attention,
                      QStringLiteral("CPU kullanımı kişisel normalinin üstünde"),
                      QStringLiteral("Anlık kullanım %93."),
                      QString(),
                      QString::fromLatin1(signature)};
        return e;
    };
    // Two observations of one condition 10 minutes apart, an older one, and one outside the week.
    m.repository->stored.events = {event(10 * 86400.0, "cpu"), event(3 * 86400.0, "cpu"), event(1200, "cpu"),
                                   event(600, "cpu")};
    QCoro::waitFor(m.store.prepareArchive());
    QCoro::waitFor(m.store.refresh());
    MonitorViewModel model(m.store);

    const QVariantList groups = model.eventGroups();
    ASSERT_EQ(groups.size(), 2);
    const QVariantMap newest = groups[0].toMap();
    EXPECT_EQ(newest.value(QStringLiteral("count")).toInt(), 2);
    EXPECT_EQ(newest.value(QStringLiteral("countText")).toString(), QStringLiteral("2 kez gözlendi"));
    EXPECT_TRUE(newest.value(QStringLiteral("when")).toString().contains(QStringLiteral(" – ")));
    EXPECT_EQ(groups[1].toMap().value(QStringLiteral("count")).toInt(), 1);
    EXPECT_TRUE(groups[1].toMap().value(QStringLiteral("countText")).toString().isEmpty());

    model.startIncident(QStringLiteral("fan sesi"));
    ASSERT_TRUE(test::spinUntil([&] { return !model.activeIncident().isEmpty(); }));
    EXPECT_EQ(model.activeIncident().value(QStringLiteral("note")).toString(), QStringLiteral("fan sesi"));
    model.stopIncident();
    ASSERT_TRUE(test::spinUntil([&] { return model.activeIncident().isEmpty(); }));
    EXPECT_EQ(m.repository->stored.incidents.size(), 1u) << "the marker is saved";

    int settingsChanges = 0;
    QObject::connect(&model, &MonitorViewModel::settingsChanged, [&] { ++settingsChanges; });
    model.setSampleInterval(100);
    EXPECT_EQ(model.sampleInterval(), 30) << "clamped to the longest interval";
    EXPECT_GE(settingsChanges, 1);
    model.startMonitoring();
    EXPECT_TRUE(model.isMonitoring());
    model.stopMonitoring();
    EXPECT_FALSE(model.isMonitoring());
}
