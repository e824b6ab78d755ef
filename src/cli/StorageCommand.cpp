#include "CliSupport.h"
#include "Commands.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "storage/StorageMapStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

// Holds the folder given on the command line for the length of one scan. The remembered folder changes
// only once that scan has succeeded.
class ThisRunOnlyPermission : public StoragePermissionPersisting {
public:
    void save(const QString& folder) override { m_folder = folder; }
    std::optional<QString> load() override { return m_folder; }
    void clear() override { m_folder.reset(); }

private:
    std::optional<QString> m_folder;
};

} // namespace

int runStorage(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool withTreemap = arguments.takeFlag(QStringLiteral("--treemap"));
    const QStringList folders = arguments.positionals();
    if (folders.size() > 1)
        throw UsageError{trText("storage en fazla bir klasör alır.")};

    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    auto remembered = std::make_shared<PreferencesStoragePermissionRepository>(preferences);
    const bool folderGiven = !folders.isEmpty();
    std::shared_ptr<StoragePermissionPersisting> permissions = remembered;
    if (folderGiven)
        permissions = std::make_shared<ThisRunOnlyPermission>();
    StorageMapStore store(std::make_shared<FileSystemStorageMapScanner>(), permissions);
    if (!folderGiven) {
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
            // Ctrl-C stops the scan, not the choice of folder: nothing remembered changes.
            interrupted = true;
            store.cancelScan();
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
    }
    if (interrupted)
        return ExitCode::interrupted;
    if (store.state() == StorageMapStore::State::failed || !store.result())
        return fail(store.errorMessage().isEmpty() ? trText("Önce taranacak klasöre izin ver.")
                                                   : store.errorMessage());
    if (folderGiven) {
        try {
            remembered->save(folders.first());
        } catch (const KestrumError& error) {
            // The scan stands; only remembering the folder failed.
            printError(QStringLiteral("kestrum-cli: ") +
                       L10n::localizedFragment(
                           trTemplate("Klasör izni kaydedilemedi: \\(description)", {error.description()})));
        }
    }

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
    printHeading(L10n::string(trTemplate("Depolama haritası · \\(path)",
                                         {storageDisplayName(QFile::encodeName(result.rootPath))})));
    std::vector<PresentationRow> summary = {
        {tr("Toplam ayrılmış alan"), bytes(double(result.allocatedBytes))},
        {tr("Dosya sayısı"), number(double(result.fileCount), 0)},
        {tr("Erişilemeyen öğeler"), number(double(result.inaccessibleItemCount), 0)},
        {tr("Atlanan bağlama noktaları"), number(double(result.skippedMountPointCount), 0)},
    };
    QString note = store.stateMessage();
    if (const QString mounts = storageSkippedMountPointsText(result.skippedMountPointCount);
        !mounts.isEmpty())
        note = note.isEmpty() ? mounts : note + u' ' + mounts;
    printGroups({PresentationGroup{QStringLiteral("summary"), tr("Özet"), true, note, summary}});

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
