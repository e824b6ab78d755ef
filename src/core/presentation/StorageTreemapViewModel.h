#pragma once

#include "KeyedListModel.h"
#include "storage/StorageScanResult.h"

#include <QHash>
#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>
#include <functional>
#include <optional>

namespace kestrum {

// The treemap at the size it is drawn: only tiles that can be seen are laid out. Items too small to
// be seen at this size are merged into one "others" tile that carries their count, so a folder of a
// quarter of a million children costs a few hundred tiles. Tiles keep their key (the child's name)
// when the map is resized or rescanned, so their delegates stay.
class StorageTreemapViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The treemap belongs to the storage map.")
    Q_PROPERTY(qreal width READ width WRITE setWidth NOTIFY sizeChanged)
    Q_PROPERTY(qreal height READ height WRITE setHeight NOTIFY sizeChanged)
    Q_PROPERTY(KeyedListModel* tiles READ tiles CONSTANT)
    Q_PROPERTY(KeyedListModel* legend READ legend CONSTANT)
    Q_PROPERTY(QString accessibleSummary READ accessibleSummary NOTIFY tilesChanged)

public:
    static constexpr double kTileInset = 2;
    static constexpr double kTileRadius = 10;
    static constexpr double kLabelMinimumWidth = 92;
    static constexpr double kLabelMinimumHeight = 58;
    static constexpr double kLabelPadding = 10;
    // A child whose share of the drawing would cover less than this many square pixels is merged.
    static constexpr double kMinimumTileArea = 400;
    // Never more tiles than this, whatever the size.
    static constexpr size_t kMaximumTiles = 400;
    // The key of the merged tile; never a file name (names hold no '/').
    static const QString kOthersKey;
    // The colour role of the tiles whose content cannot be told from their name (folders).
    static const QString kFolderCategory;
    static const QString kOthersCategory;

    explicit StorageTreemapViewModel(QObject* parent = nullptr);

    qreal width() const { return m_width; }
    qreal height() const { return m_height; }
    void setWidth(qreal width);
    void setHeight(qreal height);
    Q_INVOKABLE void setSize(qreal width, qreal height);
    KeyedListModel* tiles() { return &m_tiles; }
    KeyedListModel* legend() { return &m_legend; }
    QString accessibleSummary() const { return m_accessibleSummary; }

    // Shows a result (or none). The result is read while it is shown: it must outlive the next call.
    void setResult(const StorageScanResult* result);

    // Whether a tile drawn at this size shows its labels (after the inset).
    static bool labelsFit(double drawnWidth, double drawnHeight);
    // The colour role of a child: its content category when its name tells it, else a folder.
    static QString categoryOf(const StorageMapItem& item);

    // Opens a tile's folder in the file manager (through the opener the application gives).
    Q_INVOKABLE void open(const QString& key);
    void setOpener(std::function<void(const QString& path)> opener) { m_opener = std::move(opener); }

Q_SIGNALS:
    void sizeChanged();
    void tilesChanged();

private:
    void layout();

    qreal m_width = 0;
    qreal m_height = 0;
    const StorageScanResult* m_result = nullptr;
    QHash<size_t, QString> m_categories; // colour role by item position, for the items drawn so far
    double m_total = 0;                  // bytes of the items with a size
    KeyedListModel m_tiles;
    KeyedListModel m_legend;
    QString m_accessibleSummary;
    std::function<void(const QString&)> m_opener;
};

} // namespace kestrum
