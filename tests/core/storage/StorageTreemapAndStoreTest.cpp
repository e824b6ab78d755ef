#include "TestSupport.h"
#include "foundation/PreferencesStore.h"
#include "storage/NaturalOrder.h"
#include "storage/StorageMapStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QSemaphore>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

StorageMapItem sized(const char* name, uint64_t bytes) {
    return {QLatin1String(name), QLatin1String(name), bytes, 1};
}

void expectRect(const NormalizedRect& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x, x, 1e-12);
    EXPECT_NEAR(r.y, y, 1e-12);
    EXPECT_NEAR(r.width, w, 1e-12);
    EXPECT_NEAR(r.height, h, 1e-12);
}

// A scanner the test controls: each scan waits until released, then answers for its folder.
class ControlledScanner : public StorageMapScanning {
public:
    QSemaphore gate;
    std::atomic<int> scans{0};
    StorageScanResult scan(const QString& rootPath, std::stop_token stop) override {
        ++scans;
        gate.acquire();
        if (stop.stop_requested())
            throw CancellationError();
        if (rootPath.endsWith(u"broken"))
            throw StorageMapScannerError::locationIsNotDirectory();
        StorageScanResult result;
        result.rootPath = rootPath;
        result.rootName = rootPath.section(u'/', -1);
        result.items = {sized("a", 10)};
        result.fileCount = 1;
        return result;
    }
};

class CountingPermissions : public StoragePermissionPersisting {
public:
    std::optional<QString> saved;
    bool stale = false;
    int loads = 0;
    void save(const QString& folder) override { saved = folder; }
    std::optional<QString> load() override {
        ++loads;
        if (stale)
            throw StoragePermissionError::bookmarkIsStale();
        return saved;
    }
    void clear() override { saved.reset(); }
};

} // namespace

TEST(StorageTreemapLayout, Geometry) {
    const auto one = StorageTreemapLayout::tiles({sized("only", 5)});
    ASSERT_EQ(one.size(), 1u);
    expectRect(one[0].normalizedFrame, 0, 0, 1, 1);

    const auto three = StorageTreemapLayout::tiles({sized("a", 60), sized("b", 30), sized("c", 10)});
    ASSERT_EQ(three.size(), 3u);
    expectRect(three[0].normalizedFrame, 0, 0, 0.6, 1);
    expectRect(three[1].normalizedFrame, 0.6, 0, 0.4, 0.75);
    expectRect(three[2].normalizedFrame, 0.6, 0.75, 0.4, 0.25);

    EXPECT_TRUE(StorageTreemapLayout::tiles({sized("zero", 0), sized("none", 0)}).empty());
    EXPECT_TRUE(StorageTreemapLayout::tiles({}).empty());
    const auto mixed = StorageTreemapLayout::tiles({sized("a", 1), sized("zero", 0), sized("b", 1)});
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[1].item.name, QStringLiteral("b")) << "order kept";

    // Tiles cover the unit square exactly, without gaps or overlaps, whatever the sizes.
    std::vector<StorageMapItem> many;
    for (int i = 0; i < 500; ++i)
        many.push_back(sized("x", static_cast<uint64_t>(1 + (i * 7919) % 1000)));
    double area = 0;
    for (const auto& tile : StorageTreemapLayout::tiles(many)) {
        area += tile.normalizedFrame.width * tile.normalizedFrame.height;
        EXPECT_GE(tile.normalizedFrame.x, -1e-12);
        EXPECT_LE(tile.normalizedFrame.x + tile.normalizedFrame.width, 1 + 1e-9);
    }
    EXPECT_NEAR(area, 1.0, 1e-9);
}

TEST(StorageMapStore, StatesAcrossChoosingScanningAndClearing) {
    auto scanner = std::make_shared<ControlledScanner>();
    auto permissions = std::make_shared<CountingPermissions>();
    StorageMapStore store(scanner, permissions);
    using S = StorageMapStore::State;
    EXPECT_EQ(store.state(), S::noFolder);
    store.startScan();
    EXPECT_EQ(store.errorMessage(), QStringLiteral("Önce taranacak klasöre izin ver."));

    store.authorizeAndScan(QStringLiteral("/home/user/first"));
    EXPECT_EQ(permissions->saved, QStringLiteral("/home/user/first"));
    EXPECT_EQ(store.state(), S::scanning);
    EXPECT_TRUE(store.errorMessage().isEmpty());
    // Rescanning while a scan runs: only the second one's result stays.
    store.startScan();
    scanner->gate.release(2);
    ASSERT_TRUE(test::spinUntil([&] { return !store.isScanning(); }));
    EXPECT_EQ(store.state(), S::result);
    EXPECT_EQ(scanner->scans, 2);
    EXPECT_EQ(store.tiles().size(), 1u);

    store.authorizeAndScan(QStringLiteral("/home/user/broken"));
    scanner->gate.release();
    ASSERT_TRUE(test::spinUntil([&] { return !store.isScanning(); }));
    EXPECT_EQ(store.state(), S::failed);
    EXPECT_EQ(store.stateTitle(), QStringLiteral("Depolama taraması tamamlanamadı"));
    EXPECT_EQ(store.stateMessage(), QStringLiteral("Seçilen konum bir klasör değil."));

    store.clearPermission();
    EXPECT_EQ(store.state(), S::noFolder);
    EXPECT_FALSE(permissions->saved);
    EXPECT_FALSE(store.result());
}

TEST(StorageMapStore, CancellingAScanKeepsTheFolderAndThePreviousResult) {
    auto scanner = std::make_shared<ControlledScanner>();
    auto permissions = std::make_shared<CountingPermissions>();
    permissions->saved = QStringLiteral("/data/photos");
    StorageMapStore store(scanner, permissions);
    store.restorePermissionIfNeeded();
    store.startScan();
    scanner->gate.release();
    ASSERT_TRUE(test::spinUntil([&] { return !store.isScanning(); }));
    const auto first = store.result();
    ASSERT_TRUE(first);

    store.startScan();
    ASSERT_TRUE(store.isScanning());
    store.cancelScan();
    EXPECT_FALSE(store.isScanning());
    scanner->gate.release(); // the cancelled scan ends now; it must not write anything
    ASSERT_TRUE(test::spinUntil([&] { return scanner->scans == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(store.state(), StorageMapStore::State::result);
    EXPECT_EQ(store.result(), first);
    EXPECT_TRUE(store.errorMessage().isEmpty());
    EXPECT_EQ(store.authorizedPath(), QStringLiteral("/data/photos"));
    EXPECT_EQ(permissions->saved, QStringLiteral("/data/photos")) << "the remembered folder is not touched";
    store.cancelScan(); // nothing running: nothing changes
    EXPECT_EQ(store.state(), StorageMapStore::State::result);
}

TEST(StorageMapStore, RestoresOnceAndDropsStalePermissions) {
    auto permissions = std::make_shared<CountingPermissions>();
    permissions->saved = QStringLiteral("/data");
    StorageMapStore store(std::make_shared<ControlledScanner>(), permissions);
    store.restorePermissionIfNeeded();
    store.restorePermissionIfNeeded();
    EXPECT_EQ(permissions->loads, 1);
    EXPECT_EQ(store.state(), StorageMapStore::State::folderReady);
    EXPECT_EQ(store.stateTitle(), QStringLiteral("Klasör izni hazır"));

    auto stale = std::make_shared<CountingPermissions>();
    stale->saved = QStringLiteral("/gone");
    stale->stale = true;
    StorageMapStore staleStore(std::make_shared<ControlledScanner>(), stale);
    staleStore.restorePermissionIfNeeded();
    EXPECT_EQ(staleStore.state(), StorageMapStore::State::noFolder);
    EXPECT_EQ(staleStore.errorMessage(),
              QStringLiteral("Kaydedilmiş klasör izni artık geçerli değil. Klasörü yeniden seç."));
    EXPECT_FALSE(stale->saved) << "the stale folder is forgotten";
}

TEST(PreferencesStoragePermissionRepository, RemembersFoldersAndNoticesWhenTheyGo) {
    InMemoryPreferencesStore preferences;
    PreferencesStoragePermissionRepository repository(preferences);
    EXPECT_FALSE(repository.load());
    QTemporaryDir dir;
    repository.save(dir.path());
    EXPECT_EQ(repository.load(), dir.path());
    EXPECT_TRUE(preferences.dataValue(QStringLiteral("storageMap.securityScopedBookmark")));
    const QString path = dir.path();
    dir.remove();
    EXPECT_THROW(repository.load(), KestrumError);
    repository.clear();
    EXPECT_FALSE(repository.load());
}

TEST(NaturalOrder, NumbersByValueTextWithoutCase) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"file2", "file10", -1}, {"File2", "file10", -1},
        {"a", "B", -1},          {"x001", "x1", -1},
        {"x1", "x1", 0},         {"v1.9", "v1.10", -1},
        {"abc", "abcd", -1},     {"99999999999999999999", "100000000000000000000", -1},
    };
    for (const auto& c : cases) {
        const int result = naturalCompare(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    }
}
