#pragma once

#include "storage/StorageMapStore.h"

#include <QObject>
#include <QUrl>
#include <QVariant>
#include <array>

namespace kestrum {

// The storage map screen's values: the state's texts, the items and categories with formatted sizes,
// and the treemap tiles with their palette colour and whether their labels fit.
class StorageMapViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString state READ state NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(QString folder READ folder NOTIFY changed)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY changed)
    Q_PROPERTY(QVariantList summary READ summary NOTIFY changed)
    Q_PROPERTY(QVariantList items READ items NOTIFY changed)
    Q_PROPERTY(QVariantList categories READ categories NOTIFY changed)
    Q_PROPERTY(QVariantList tiles READ tiles NOTIFY changed)

public:
    // The treemap palette, by tile position modulo 12.
    static const std::array<const char*, 12> kPalette;
    static constexpr double kTileInset = 2;
    static constexpr double kTileRadius = 10;
    static constexpr double kLabelMinimumWidth = 92;
    static constexpr double kLabelMinimumHeight = 58;
    static constexpr double kLabelPadding = 10;

    explicit StorageMapViewModel(StorageMapStore& store, QObject* parent = nullptr);

    QString state() const;
    QString title() const { return m_store.stateTitle(); }
    QString message() const { return m_store.stateMessage(); }
    QString folder() const { return m_store.authorizedPath(); }
    bool isScanning() const { return m_store.isScanning(); }
    QVariantList summary() const { return m_summary; }
    QVariantList items() const { return m_items; }
    QVariantList categories() const { return m_categories; }
    QVariantList tiles() const { return m_tiles; }

    // Whether a tile drawn at this size shows its labels (after the inset).
    static bool labelsFit(double drawnWidth, double drawnHeight);

    Q_INVOKABLE void restore();
    Q_INVOKABLE void chooseFolder(const QUrl& folder);
    Q_INVOKABLE void rescan();
    Q_INVOKABLE void forgetFolder();
    Q_INVOKABLE void reportPickerFailure(const QString& description);

Q_SIGNALS:
    void changed();

private:
    void rebuild();

    StorageMapStore& m_store;
    QVariantList m_summary;
    QVariantList m_items;
    QVariantList m_categories;
    QVariantList m_tiles;
};

} // namespace kestrum
