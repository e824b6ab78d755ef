#include "CliSupport.h"
#include "Commands.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "storage/StorageMapStore.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

} // namespace

int runStorage(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool withTreemap = arguments.takeFlag(QStringLiteral("--treemap"));
    const QStringList folders = arguments.positionals();
    if (folders.size() > 1)
        throw UsageError{trText("storage en fazla bir klasör alır.")};

    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    StorageMapStore store(std::make_shared<FileSystemStorageMapScanner>(),
                          std::make_shared<PreferencesStoragePermissionRepository>(preferences));
    if (folders.isEmpty()) {
        // No folder given: rescan the remembered one.
        store.restorePermissionIfNeeded();
        if (!store.hasAuthorizedFolder()) {
            if (!store.errorMessage().isEmpty())
                return fail(store.errorMessage());
            return fail(trText("Önce taranacak klasöre izin ver."));
        }
        store.startScan();
    } else {
        store.authorizeAndScan(folders.first());
    }

    bool interrupted = false;
    if (store.isScanning()) {
        QObject::connect(&store, &StorageMapStore::isScanningChanged, &store, [&] {
            if (!store.isScanning())
                QCoreApplication::quit();
        });
        installInterruptHandler([&] {
            interrupted = true;
            store.clearPermission(); // cancels the scan; the remembered folder is put back below
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
    }
    if (interrupted) {
        // Ctrl-C stops the scan, not the choice of folder.
        PreferencesStoragePermissionRepository(preferences)
            .save(folders.isEmpty() ? store.authorizedPath() : folders.first());
        return ExitCode::interrupted;
    }
    if (store.state() == StorageMapStore::State::failed || !store.result())
        return fail(store.errorMessage().isEmpty() ? trText("Önce taranacak klasöre izin ver.")
                                                   : store.errorMessage());

    const StorageScanResult& result = *store.result();
    if (asJson) {
        QJsonObject object = storageScanResultToJson(result).toObject();
        if (withTreemap) {
            QJsonArray tiles;
            for (const StorageTreemapTile& tile : store.tiles()) {
                tiles.append(QJsonObject{{QStringLiteral("relativePath"), tile.item.relativePath},
                                         {QStringLiteral("x"), tile.normalizedFrame.x},
                                         {QStringLiteral("y"), tile.normalizedFrame.y},
                                         {QStringLiteral("width"), tile.normalizedFrame.width},
                                         {QStringLiteral("height"), tile.normalizedFrame.height}});
            }
            object.insert(QStringLiteral("tiles"), tiles);
        }
        printJson(object);
        return ExitCode::success;
    }

    using namespace MetricFormatting;
    printHeading(L10n::string(trTemplate("Depolama haritası · \\(path)", {result.rootPath})));
    std::vector<PresentationRow> summary = {
        {tr("Toplam ayrılmış alan"), bytes(double(result.allocatedBytes))},
        {tr("Dosya sayısı"), number(double(result.fileCount), 0)},
        {tr("Erişilemeyen öğeler"), number(double(result.inaccessibleItemCount), 0)},
    };
    printGroups(
        {PresentationGroup{QStringLiteral("summary"), tr("Özet"), true, store.stateMessage(), summary}});

    std::vector<PresentationRow> items;
    constexpr size_t kShownItems = 40;
    for (size_t i = 0; i < result.items.size() && i < kShownItems; ++i) {
        const StorageMapItem& item = result.items[i];
        items.push_back(
            {item.name, QStringLiteral("%1  ·  %2")
                            .arg(bytes(double(item.allocatedBytes)), storageFileCountText(item.fileCount))});
    }
    QString more;
    if (result.items.size() > kShownItems)
        more = L10n::string(
            trTemplate("ve \\(count) öğe daha", {QString::number(result.items.size() - kShownItems)}));
    std::vector<PresentationRow> categories;
    for (const StorageCategorySummary& category : result.categories)
        categories.push_back(
            {storageCategoryTitle(category.category),
             QStringLiteral("%1  ·  %2")
                 .arg(bytes(double(category.allocatedBytes)), storageFileCountText(category.fileCount))});
    printGroups({PresentationGroup{QStringLiteral("items"), tr("En büyük öğeler"), true, {}, items},
                 PresentationGroup{QStringLiteral("categories"), tr("Kategoriler"), true, {}, categories}});
    if (!more.isEmpty())
        printLine(more);
    if (withTreemap) {
        printLine(tr("Ağaç haritası (x, y, genişlik, yükseklik; birim kare)"));
        for (const StorageTreemapTile& tile : store.tiles()) {
            const NormalizedRect& r = tile.normalizedFrame;
            printLine(QStringLiteral("  %1 %2 %3 %4  %5")
                          .arg(r.x, 0, 'f', 4)
                          .arg(r.y, 0, 'f', 4)
                          .arg(r.width, 0, 'f', 4)
                          .arg(r.height, 0, 'f', 4)
                          .arg(tile.item.name));
        }
    }
    return ExitCode::success;
}

} // namespace kestrum::cli
