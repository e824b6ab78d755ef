#include "StorageMapViewModel.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

// indigo, blue, cyan, teal, green, mint, orange, purple, pink, brown, gray, red
const std::array<const char*, 12> StorageMapViewModel::kPalette = {
    "#5856d6", "#007aff", "#32ade6", "#30b0c7", "#34c759", "#00c7be",
    "#ff9500", "#af52de", "#ff2d55", "#a2845e", "#8e8e93", "#ff3b30"};

StorageMapViewModel::StorageMapViewModel(StorageMapStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    connect(&store, &StorageMapStore::stateChanged, this, &StorageMapViewModel::rebuild);
    connect(&store, &StorageMapStore::resultChanged, this, &StorageMapViewModel::rebuild);
    connect(&store, &StorageMapStore::errorMessageChanged, this, &StorageMapViewModel::rebuild);
    rebuild();
}

QString StorageMapViewModel::state() const {
    switch (m_store.state()) {
    case StorageMapStore::State::noFolder:
        return QStringLiteral("noFolder");
    case StorageMapStore::State::folderReady:
        return QStringLiteral("folderReady");
    case StorageMapStore::State::scanning:
        return QStringLiteral("scanning");
    case StorageMapStore::State::result:
        return QStringLiteral("result");
    case StorageMapStore::State::failed:
        return QStringLiteral("failed");
    }
    return {};
}

bool StorageMapViewModel::labelsFit(double drawnWidth, double drawnHeight) {
    return drawnWidth - 2 * kTileInset >= kLabelMinimumWidth &&
           drawnHeight - 2 * kTileInset >= kLabelMinimumHeight;
}

void StorageMapViewModel::rebuild() {
    m_summary.clear();
    m_items.clear();
    m_categories.clear();
    m_tiles.clear();
    if (const auto& result = m_store.result()) {
        using namespace MetricFormatting;
        const auto row = [](const QString& label, const QString& value) {
            return QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("value"), value}};
        };
        m_summary = {row(L10n::string(trText("Toplam ayrılmış alan")), bytes(double(result->allocatedBytes))),
                     row(L10n::string(trText("Dosya sayısı")), number(double(result->fileCount), 0)),
                     row(L10n::string(trText("Erişilemeyen öğeler")),
                         number(double(result->inaccessibleItemCount), 0))};
        const double total = result->allocatedBytes > 0 ? double(result->allocatedBytes) : 1.0;
        for (const StorageMapItem& item : result->items) {
            m_items.append(QVariantMap{{QStringLiteral("name"), item.name},
                                       {QStringLiteral("sizeText"), bytes(double(item.allocatedBytes))},
                                       {QStringLiteral("filesText"), storageFileCountText(item.fileCount)},
                                       {QStringLiteral("fraction"), double(item.allocatedBytes) / total}});
        }
        for (const StorageCategorySummary& category : result->categories) {
            m_categories.append(
                QVariantMap{{QStringLiteral("title"), storageCategoryTitle(category.category)},
                            {QStringLiteral("sizeText"), bytes(double(category.allocatedBytes))},
                            {QStringLiteral("filesText"), storageFileCountText(category.fileCount)},
                            {QStringLiteral("fraction"), double(category.allocatedBytes) / total}});
        }
        int position = 0;
        for (const StorageTreemapTile& tile : m_store.tiles()) {
            m_tiles.append(QVariantMap{
                {QStringLiteral("x"), tile.normalizedFrame.x},
                {QStringLiteral("y"), tile.normalizedFrame.y},
                {QStringLiteral("width"), tile.normalizedFrame.width},
                {QStringLiteral("height"), tile.normalizedFrame.height},
                {QStringLiteral("name"), tile.item.name},
                {QStringLiteral("sizeText"), bytes(double(tile.item.allocatedBytes))},
                {QStringLiteral("filesText"), storageFileCountText(tile.item.fileCount)},
                {QStringLiteral("color"), QLatin1String(kPalette[static_cast<size_t>(position % 12)])}});
            ++position;
        }
    }
    Q_EMIT changed();
}

void StorageMapViewModel::restore() {
    m_store.restorePermissionIfNeeded();
}
void StorageMapViewModel::chooseFolder(const QUrl& folder) {
    m_store.authorizeAndScan(folder.isLocalFile() ? folder.toLocalFile() : folder.toString());
}
void StorageMapViewModel::rescan() {
    m_store.startScan();
}
void StorageMapViewModel::forgetFolder() {
    m_store.clearPermission();
}
void StorageMapViewModel::reportPickerFailure(const QString& description) {
    m_store.reportPickerFailure(description);
}

} // namespace kestrum
