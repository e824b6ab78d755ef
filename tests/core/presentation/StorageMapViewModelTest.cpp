// The storage map screen: its states, the live counter and cancel, the short list, and a treemap that
// lays out only what can be seen, however many children the folder has.

#include "presentation/StorageMapViewModel.h"

#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

using namespace kestrum;

namespace {

StorageMapItem item(const QString& name, uint64_t bytes, int64_t files = 1) {
    return {name, name, bytes, files};
}

// A result of `count` children: ten large ones, a band of middle-sized ones, then a long tail of small
// ones.
StorageScanResult manyChildren(size_t count) {
    StorageScanResult r;
    r.rootPath = QStringLiteral("/home/ayşe");
    r.rootName = QStringLiteral("ayşe");
    for (size_t i = 0; i < count; ++i) {
        const uint64_t bytes = i < 10     ? 10'000'000'000ull / (i + 1)
                               : i < 2000 ? 200'000'000ull / (i + 1)
                                          : 4096 + (count - i);
        r.items.push_back(item(QStringLiteral("child%1").arg(i), bytes, i < 10 ? 40 : 1));
        r.allocatedBytes += bytes;
        r.fileCount += r.items.back().fileCount;
    }
    r.categories = {{StorageCategory::video, r.allocatedBytes, r.fileCount}};
    return r;
}

// A scanner the test drives: it counts, then waits to be released, then answers.
class HeldScanner : public StorageMapScanning {
public:
    std::atomic<int64_t> counted{0};
    std::atomic<bool> released{false};
    StorageScanResult answer;

    StorageScanResult scan(const QString& root, std::stop_token stop) override {
        while (!released && !stop.stop_requested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (stop.stop_requested())
            throw CancellationError();
        released = false;
        StorageScanResult r = answer;
        r.rootPath = root;
        return r;
    }
    std::optional<int64_t> filesCountedSoFar() const override { return counted.load(); }
};

class RememberNothing : public StoragePermissionPersisting {
public:
    void save(const QString&) override {}
    std::optional<QString> load() override { return std::nullopt; }
    void clear() override {}
};

} // namespace

TEST(StorageTreemapViewModel, TilesAtTheirDrawnSize) {
    test::ScopedLanguage turkish(false);
    StorageScanResult r;
    r.rootPath = QStringLiteral("/data");
    r.items = {item(QStringLiteral("Videolar"), 600, 30), item(QStringLiteral("yedek.zip"), 300),
               item(QStringLiteral("notlar"), 100), item(QStringLiteral("boş"), 0)};
    r.allocatedBytes = 1000;
    StorageTreemapViewModel map;
    QAbstractItemModelTester tester(map.tiles(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    map.setResult(&r);
    EXPECT_EQ(map.tiles()->count(), 0) << "nothing is laid out before the map has a size";
    map.setSize(400, 200);
    const KeyedListModel& tiles = *map.tiles();
    ASSERT_EQ(tiles.count(), 3) << "an empty child gets no tile";
    // 60 % of a wide map, cut vertically: (0, 0, 240, 200), inset by 2.
    EXPECT_DOUBLE_EQ(tiles.value(0, "tileX").toDouble(), 2);
    EXPECT_DOUBLE_EQ(tiles.value(0, "tileWidth").toDouble(), 236);
    EXPECT_DOUBLE_EQ(tiles.value(0, "tileHeight").toDouble(), 196);
    EXPECT_EQ(tiles.value(0, "shareText").toString(), QStringLiteral("60,0%"));
    EXPECT_EQ(tiles.value(0, "category").toString(), QStringLiteral("folder"));
    EXPECT_EQ(tiles.value(1, "category").toString(), QStringLiteral("archives"));
    EXPECT_EQ(tiles.value(0, "accessibleName").toString(),
              QStringLiteral("Videolar, 1 KB · 60,0% · 30 dosya"));
    EXPECT_EQ(tiles.value(0, "tooltip").toString(), QStringLiteral("Videolar\n1 KB · 60,0% · 30 dosya"));
    EXPECT_FALSE(tiles.value(0, "isOthers").toBool());
    // The legend names the colours in use, categories first.
    ASSERT_EQ(map.legend()->count(), 2);
    EXPECT_EQ(map.legend()->value(0, "title").toString(), QStringLiteral("Arşivler"));
    EXPECT_EQ(map.legend()->value(1, "title").toString(), QStringLiteral("Klasör"));

    // Resizing moves the same tiles.
    QSignalSpy inserted(map.tiles(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(map.tiles(), &QAbstractItemModel::rowsRemoved);
    map.setSize(300, 300);
    EXPECT_EQ(inserted.count() + removed.count(), 0);
    EXPECT_DOUBLE_EQ(tiles.value(0, "tileWidth").toDouble(), 176) << "a square is cut vertically too";
    EXPECT_DOUBLE_EQ(tiles.value(0, "tileHeight").toDouble(), 296);
    map.setResult(nullptr);
    EXPECT_EQ(map.tiles()->count(), 0);
    EXPECT_EQ(map.legend()->count(), 0);
}

TEST(StorageTreemapViewModel, LabelsOnlyWhereTheyFit) {
    struct Case {
        double width, height;
        bool fits;
    } cases[] = {{96, 62, true}, {95.9, 62, false}, {96, 61.9, false}, {400, 400, true}};
    for (const auto& c : cases)
        EXPECT_EQ(StorageTreemapViewModel::labelsFit(c.width, c.height), c.fits)
            << c.width << "×" << c.height;
}

TEST(StorageTreemapViewModel, ColourRoleFromWhatTheNameTells) {
    struct Case {
        const char* name;
        int64_t files;
        const char* category;
    } cases[] = {
        {"Araç.app", 120, "applications"}, {"Proje.xcodeproj", 4, "developer"}, {"film.mkv", 1, "video"},
        {"rapor.pdf", 1, "documents"},     {"main.cpp", 1, "developer"},        {"Videolar", 30, "folder"},
        {"arsiv.zip", 2, "folder"},        {"Makefile", 1, "folder"},           {".bashrc", 1, "folder"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StorageTreemapViewModel::categoryOf(item(QString::fromUtf8(c.name), 1, c.files)),
                  QLatin1String(c.category))
            << c.name;
}

TEST(StorageTreemapViewModel, AQuarterMillionChildrenBecomeAFewHundredTiles) {
    test::ScopedLanguage turkish(false);
    const StorageScanResult r = manyChildren(250'000);
    StorageTreemapViewModel map;
    map.setResult(&r);
    map.setSize(1000, 460);
    const KeyedListModel& tiles = *map.tiles();
    ASSERT_GT(tiles.count(), 10);
    ASSERT_LE(tiles.count(), static_cast<int>(StorageTreemapViewModel::kMaximumTiles) + 1);
    const int others = tiles.indexOf(StorageTreemapViewModel::kOthersKey);
    ASSERT_GE(others, 0);
    EXPECT_TRUE(tiles.value(others, "isOthers").toBool());
    EXPECT_EQ(tiles.value(others, "category").toString(), StorageTreemapViewModel::kOthersCategory);
    const int shownChildren = tiles.count() - 1;
    EXPECT_EQ(tiles.value(others, "name").toString(),
              QStringLiteral("Diğer %1 öğe")
                  .arg(QLocale(QStringLiteral("tr_TR")).toString(250'000 - shownChildren)));
    // Every tile of its own is big enough to be seen, and together they fill the map.
    double covered = 0;
    for (int i = 0; i < tiles.count(); ++i) {
        const double outer =
            (tiles.value(i, "tileWidth").toDouble() + 4) * (tiles.value(i, "tileHeight").toDouble() + 4);
        if (i != others) {
            EXPECT_GE(outer, StorageTreemapViewModel::kMinimumTileArea * 0.999)
                << tiles.keyAt(i).toStdString();
        }
        covered += outer;
    }
    EXPECT_NEAR(covered, 1000.0 * 460.0, 1.0);

    // A larger map shows more children; the merged tile keeps its key.
    const int before = tiles.count();
    map.setSize(2000, 1200);
    EXPECT_GT(tiles.count(), before);
    EXPECT_GE(tiles.indexOf(StorageTreemapViewModel::kOthersKey), 0);
}

TEST(StorageTreemapViewModel, ASingleLeftoverIsDrawnAsItself) {
    StorageScanResult r;
    r.items = {item(QStringLiteral("büyük"), 1'000'000), item(QStringLiteral("minik"), 1)};
    StorageTreemapViewModel map;
    map.setResult(&r);
    map.setSize(200, 200);
    ASSERT_EQ(map.tiles()->count(), 2);
    EXPECT_EQ(map.tiles()->keyAt(1), QStringLiteral("minik"));
    EXPECT_EQ(map.tiles()->indexOf(StorageTreemapViewModel::kOthersKey), -1);
}

TEST(StorageTreemapViewModel, OpensFoldersNotTheMergedTile) {
    QTemporaryDir root;
    QDir(root.path()).mkdir(QStringLiteral("Belgeler"));
    test::writeFile(root.path() + QStringLiteral("/yedek.zip"), "x");
    StorageScanResult r;
    r.rootPath = root.path();
    r.items = {item(QStringLiteral("Belgeler"), 10, 3), item(QStringLiteral("yedek.zip"), 5)};
    StorageTreemapViewModel map;
    map.setResult(&r);
    QStringList opened;
    map.setOpener([&](const QString& path) { opened.append(path); });
    map.open(QStringLiteral("Belgeler"));
    map.open(QStringLiteral("yedek.zip"));
    map.open(StorageTreemapViewModel::kOthersKey);
    EXPECT_EQ(opened, (QStringList{root.path() + QStringLiteral("/Belgeler"), root.path()}))
        << "a folder opens itself, a file the folder it lies in, the merged tile nothing";
}

TEST(StorageMapViewModel, ListsTheLargestThenSaysHowManyMore) {
    test::ScopedLanguage turkish(false);
    auto scanner = std::make_shared<HeldScanner>();
    scanner->answer = manyChildren(120);
    StorageMapStore store(scanner, std::make_shared<RememberNothing>());
    StorageMapViewModel model(store);
    EXPECT_EQ(model.state(), QStringLiteral("noFolder"));
    EXPECT_FALSE(model.showsMap());

    model.chooseFolder(QUrl::fromLocalFile(QStringLiteral("/home/ayşe")));
    EXPECT_EQ(model.subtitle(), QStringLiteral("/home/ayşe")) << "a picked URL becomes a path";
    scanner->released = true;
    ASSERT_TRUE(test::spinUntil([&] { return model.state() == QStringLiteral("result"); }));
    EXPECT_TRUE(model.showsMap());
    EXPECT_EQ(model.items()->count(), static_cast<int>(StorageMapViewModel::kListedItems));
    EXPECT_EQ(model.moreItemsText(), QStringLiteral("ve 70 öğe daha"));
    EXPECT_EQ(model.summary()->value(1, "value").toString(), QStringLiteral("510"));
    ASSERT_EQ(model.categories()->count(), 1);
    EXPECT_EQ(model.categories()->value(0, "title").toString(), QStringLiteral("Videolar"));
    EXPECT_DOUBLE_EQ(model.categories()->value(0, "fraction").toDouble(), 1.0);
}

TEST(StorageMapViewModel, RescanKeepsTheMapCountsLiveAndCanBeCancelled) {
    test::ScopedLanguage turkish(false);
    auto scanner = std::make_shared<HeldScanner>();
    scanner->answer = manyChildren(20);
    StorageMapStore store(scanner, std::make_shared<RememberNothing>());
    StorageMapViewModel model(store);
    model.chooseFolder(QUrl::fromLocalFile(QStringLiteral("/data")));
    scanner->released = true;
    ASSERT_TRUE(test::spinUntil([&] { return model.state() == QStringLiteral("result"); }));
    model.treemap()->setSize(500, 300);
    const int tiles = model.treemap()->tiles()->count();
    ASSERT_GT(tiles, 0);

    model.rescan();
    EXPECT_TRUE(model.isScanning());
    EXPECT_TRUE(model.showsMap()) << "the previous map stays during a rescan";
    EXPECT_EQ(model.treemap()->tiles()->count(), tiles);
    scanner->counted = 12'345;
    ASSERT_TRUE(test::spinUntil([&] {
        return model.progressText() == QStringLiteral("12.345 dosya sayıldı");
    })) << model.progressText().toStdString();

    model.cancelScan();
    EXPECT_FALSE(model.isScanning());
    EXPECT_EQ(model.state(), QStringLiteral("result"))
        << "cancelled: back to the previous result, no message";
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_TRUE(model.progressText().isEmpty());
    EXPECT_EQ(model.treemap()->tiles()->count(), tiles);
    // The cancelled scan ends without writing anything; a later scan is the one that lands.
    scanner->answer = manyChildren(3);
    model.rescan();
    scanner->released = true;
    ASSERT_TRUE(test::spinUntil([&] { return !model.isScanning(); }));
    EXPECT_EQ(model.items()->count(), 3);

    model.forgetFolder();
    EXPECT_EQ(model.state(), QStringLiteral("noFolder"));
    EXPECT_FALSE(model.showsMap());
    EXPECT_EQ(model.treemap()->tiles()->count(), 0);
}
