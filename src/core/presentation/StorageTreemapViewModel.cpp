#include "StorageTreemapViewModel.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "storage/StorageClassifier.h"
#include "storage/StorageTreemapLayout.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <set>

namespace kestrum {

const QString StorageTreemapViewModel::kOthersKey = QStringLiteral("/others");
const QString StorageTreemapViewModel::kFolderCategory = QStringLiteral("folder");
const QString StorageTreemapViewModel::kOthersCategory = QStringLiteral("others");

namespace {

QString legendTitle(const QString& category) {
    if (category == StorageTreemapViewModel::kFolderCategory)
        return L10n::string(trText("Klasör"));
    if (category == StorageTreemapViewModel::kOthersCategory)
        return L10n::string(trText("Küçük öğeler"));
    const auto known = fromRawValue<StorageCategory>(category);
    return known ? storageCategoryTitle(*known) : QString();
}

} // namespace

StorageTreemapViewModel::StorageTreemapViewModel(QObject* parent)
    : QObject(parent),
      m_tiles({"tileX", "tileY", "tileWidth", "tileHeight", "name", "sizeText", "filesText", "shareText",
               "category", "isOthers", "showsLabels", "tooltip", "accessibleName"}),
      m_legend({"category", "title"}) {}

bool StorageTreemapViewModel::labelsFit(double drawnWidth, double drawnHeight) {
    return drawnWidth - 2 * kTileInset >= kLabelMinimumWidth &&
           drawnHeight - 2 * kTileInset >= kLabelMinimumHeight;
}

QString StorageTreemapViewModel::categoryOf(const StorageMapItem& item) {
    const QByteArray name = item.name.toUtf8();
    const std::string_view view(name.constData(), static_cast<size_t>(name.size()));
    switch (StorageClassifier::bundleOf(view, StorageClassifier::Bundle::none)) {
    case StorageClassifier::Bundle::application:
        return rawValue(StorageCategory::applications);
    case StorageClassifier::Bundle::project:
        return rawValue(StorageCategory::developer);
    case StorageClassifier::Bundle::none:
        break;
    }
    // More than one file: a folder. One file under a name without an extension: taken as a folder too.
    const qsizetype dot = item.name.lastIndexOf(u'.');
    if (item.fileCount > 1 || dot <= 0)
        return kFolderCategory;
    static StorageClassifier classifier; // main thread only; it caches by extension
    return rawValue(classifier.classify(view, StorageClassifier::Bundle::none));
}

void StorageTreemapViewModel::setWidth(qreal width) {
    setSize(width, m_height);
}

void StorageTreemapViewModel::setHeight(qreal height) {
    setSize(m_width, height);
}

void StorageTreemapViewModel::setSize(qreal width, qreal height) {
    if (width == m_width && height == m_height)
        return;
    m_width = width;
    m_height = height;
    Q_EMIT sizeChanged();
    layout();
}

void StorageTreemapViewModel::setResult(const StorageScanResult* result) {
    m_result = result;
    m_categories.clear();
    m_total = 0;
    if (result) {
        for (const StorageMapItem& item : result->items)
            m_total += static_cast<double>(item.allocatedBytes);
    }
    layout();
}

void StorageTreemapViewModel::layout() {
    std::vector<KeyedListModel::Row> rows;
    std::set<QString> categories;
    QString summary;
    const double area = m_width * m_height;
    if (m_result && m_total > 0 && area > 0) {
        using namespace MetricFormatting;
        const auto& items = m_result->items;
        // The items come largest first: those big enough to be seen are a prefix of the list.
        const double smallest = m_total * kMinimumTileArea / area;
        size_t shown = 0;
        while (shown < items.size() && shown < kMaximumTiles &&
               static_cast<double>(items[shown].allocatedBytes) >= smallest)
            ++shown;
        if (items.size() - shown == 1)
            shown = items.size(); // one more item is drawn as itself, not as "1 other"
        std::vector<StorageMapItem> laid(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(shown));
        StorageMapItem others;
        for (size_t i = shown; i < items.size(); ++i) {
            others.allocatedBytes += items[i].allocatedBytes;
            others.fileCount += items[i].fileCount;
        }
        const size_t otherCount = items.size() - shown;
        if (otherCount > 0) {
            others.relativePath = kOthersKey;
            others.name =
                L10n::string(trTemplate("Diğer \\(count) öğe", {number(static_cast<double>(otherCount), 0)}));
            // Keeps the list largest first, which the layout relies on.
            const auto at = std::upper_bound(
                laid.begin(), laid.end(), others.allocatedBytes,
                [](uint64_t bytes, const StorageMapItem& item) { return bytes > item.allocatedBytes; });
            laid.insert(at, others);
        }
        // The colour role is worked out once per result, and only for the children that get a tile.
        QHash<QString, size_t> positions;
        positions.reserve(static_cast<qsizetype>(shown));
        for (size_t i = 0; i < shown; ++i)
            positions.insert(items[i].relativePath, i);
        for (const StorageTreemapTile& tile : StorageTreemapLayout::tiles(laid)) {
            const bool isOthers = tile.item.relativePath == kOthersKey;
            QString category = kOthersCategory;
            if (!isOthers) {
                const size_t index = positions.value(tile.item.relativePath);
                auto known = m_categories.find(index);
                if (known == m_categories.end())
                    known = m_categories.insert(index, categoryOf(items[index]));
                category = *known;
            }
            categories.insert(category);
            const double x = tile.normalizedFrame.x * m_width + kTileInset;
            const double y = tile.normalizedFrame.y * m_height + kTileInset;
            const double w = std::max(0.0, tile.normalizedFrame.width * m_width - 2 * kTileInset);
            const double h = std::max(0.0, tile.normalizedFrame.height * m_height - 2 * kTileInset);
            const QString size = bytes(static_cast<double>(tile.item.allocatedBytes));
            const QString files = storageFileCountText(tile.item.fileCount);
            const QString share = percentage(static_cast<double>(tile.item.allocatedBytes) / m_total, 1);
            const QString details = size + QStringLiteral(" · ") + share + QStringLiteral(" · ") + files;
            rows.push_back({tile.item.relativePath,
                            {x, y, w, h, tile.item.name, size, files, share, category, isOthers,
                             labelsFit(w + 2 * kTileInset, h + 2 * kTileInset),
                             tile.item.name + QLatin1Char('\n') + details,
                             tile.item.name + QStringLiteral(", ") + details}});
        }
        summary = L10n::string(trTemplate("Depolama haritası, \\(count) kutucuk",
                                          {number(static_cast<double>(rows.size()), 0)}));
    }
    m_tiles.update(std::move(rows));

    // The legend: the colours in use, categories in their order, then folders, then the merged tile.
    std::vector<KeyedListModel::Row> legend;
    for (const StorageCategory category : allCases<StorageCategory>()) {
        if (categories.count(rawValue(category)))
            legend.push_back({rawValue(category), {rawValue(category), legendTitle(rawValue(category))}});
    }
    for (const QString& extra : {kFolderCategory, kOthersCategory}) {
        if (categories.count(extra))
            legend.push_back({extra, {extra, legendTitle(extra)}});
    }
    m_legend.update(std::move(legend));
    if (summary != m_accessibleSummary) {
        m_accessibleSummary = summary;
        Q_EMIT tilesChanged();
    }
}

void StorageTreemapViewModel::open(const QString& key) {
    if (!m_result || !m_opener || key == kOthersKey || key.isEmpty())
        return;
    // A folder opens itself; a file directly in the root opens the root, where it lies.
    const QString path = m_result->rootPath + QLatin1Char('/') + key;
    m_opener(QFileInfo(path).isDir() ? path : m_result->rootPath);
}

} // namespace kestrum
