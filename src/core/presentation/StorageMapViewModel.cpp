#include "StorageMapViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

StorageMapViewModel::StorageMapViewModel(StorageMapStore& store, QObject* parent)
    : QObject(parent), m_store(store), m_summary({"label", "value"}),
      m_items({"name", "sizeText", "filesText", "fraction", "accessibleName"}),
      m_categories({"category", "title", "sizeText", "filesText", "fraction", "accessibleName"}) {
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &StorageMapViewModel::updateProgress);
    connect(&store, &StorageMapStore::resultChanged, this, &StorageMapViewModel::rebuild);
    connect(&store, &StorageMapStore::stateChanged, this, &StorageMapViewModel::stateChanged);
    rebuild();
    stateChanged();
}

StorageMapViewModel* StorageMapViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<StorageMapViewModel>(engine);
}

QString StorageMapViewModel::state() const {
    return QString::fromLatin1(
        QMetaEnum::fromType<StorageMapStore::State>().valueToKey(static_cast<int>(m_store.state())));
}

QString StorageMapViewModel::subtitle() const {
    return hasFolder() ? m_store.authorizedPath()
                       : L10n::string(trText("Bir klasörün alanının nereye gittiğini gör"));
}

bool StorageMapViewModel::showsStatus() const {
    return m_store.state() != StorageMapStore::State::result || !message().isEmpty();
}

void StorageMapViewModel::stateChanged() {
    if (m_store.isScanning() && !m_progressTimer.isActive()) {
        m_progressTimer.start();
        updateProgress();
    } else if (!m_store.isScanning()) {
        m_progressTimer.stop();
        updateProgress();
    }
    Q_EMIT changed();
}

void StorageMapViewModel::updateProgress() {
    QString text;
    if (m_store.isScanning()) {
        if (const auto counted = m_store.filesCountedSoFar())
            text = L10n::string(trTemplate("\\(count) dosya sayıldı",
                                           {MetricFormatting::number(static_cast<double>(*counted), 0)}));
    }
    if (text != m_progressText) {
        m_progressText = text;
        Q_EMIT progressChanged();
    }
}

void StorageMapViewModel::rebuild() {
    using namespace MetricFormatting;
    std::vector<KeyedListModel::Row> summary, items, categories;
    QString more;
    const auto& result = m_store.result();
    if (result) {
        const auto row = [](const char* label, const QString& value) {
            return KeyedListModel::Row{QString::fromUtf8(label),
                                       {L10n::string(QString::fromUtf8(label)), value}};
        };
        summary = {row(TR_MARK("Toplam ayrılmış alan"), bytes(double(result->allocatedBytes))),
                   row(TR_MARK("Dosya sayısı"), number(double(result->fileCount), 0)),
                   row(TR_MARK("Erişilemeyen öğeler"), number(double(result->inaccessibleItemCount), 0))};
        const double total = result->allocatedBytes > 0 ? double(result->allocatedBytes) : 1.0;
        const size_t listed = std::min(result->items.size(), kListedItems);
        for (size_t i = 0; i < listed; ++i) {
            const StorageMapItem& item = result->items[i];
            const QString size = bytes(double(item.allocatedBytes));
            const QString files = storageFileCountText(item.fileCount);
            items.push_back({item.relativePath,
                             {item.name, size, files, double(item.allocatedBytes) / total,
                              item.name + QStringLiteral(", ") + size + QStringLiteral(", ") + files}});
        }
        if (result->items.size() > listed)
            more = L10n::string(
                trTemplate("ve \\(count) öğe daha", {number(double(result->items.size() - listed), 0)}));
        for (const StorageCategorySummary& category : result->categories) {
            const QString title = storageCategoryTitle(category.category);
            const QString size = bytes(double(category.allocatedBytes));
            const QString files = storageFileCountText(category.fileCount);
            categories.push_back(
                {rawValue(category.category),
                 {rawValue(category.category), title, size, files, double(category.allocatedBytes) / total,
                  title + QStringLiteral(", ") + size + QStringLiteral(", ") + files}});
        }
    }
    m_summary.update(std::move(summary));
    m_items.update(std::move(items));
    m_categories.update(std::move(categories));
    m_moreItemsText = more;
    m_treemap.setResult(result ? &*result : nullptr);
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
void StorageMapViewModel::cancelScan() {
    m_store.cancelScan();
}
void StorageMapViewModel::forgetFolder() {
    m_store.clearPermission();
}
void StorageMapViewModel::reportPickerFailure(const QString& description) {
    m_store.reportPickerFailure(description);
}

} // namespace kestrum
