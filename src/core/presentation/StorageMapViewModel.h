#pragma once

#include "KeyedListModel.h"
#include "StorageTreemapViewModel.h"
#include "storage/StorageMapStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QTimer>
#include <QUrl>

namespace kestrum {

// The storage map screen: the state's texts, the scan's live counter and cancel, the totals, the
// largest children (the first rows, then "and N more"), the categories and the treemap. A rescan keeps
// the previous map on screen until the new one arrives.
class StorageMapViewModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(StorageMap)
    QML_SINGLETON
    Q_PROPERTY(QString state READ state NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(bool hasFolder READ hasFolder NOTIFY changed)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY changed)
    Q_PROPERTY(bool showsMap READ showsMap NOTIFY changed)
    Q_PROPERTY(bool showsStatus READ showsStatus NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressChanged)
    Q_PROPERTY(KeyedListModel* summary READ summary CONSTANT)
    Q_PROPERTY(KeyedListModel* items READ items CONSTANT)
    Q_PROPERTY(QString moreItemsText READ moreItemsText NOTIFY changed)
    Q_PROPERTY(KeyedListModel* categories READ categories CONSTANT)
    Q_PROPERTY(StorageTreemapViewModel* treemap READ treemap CONSTANT)

public:
    // How many of the largest children the list shows.
    static constexpr size_t kListedItems = 50;
    // How often the live counter is read while a scan runs.
    static constexpr int kProgressIntervalMs = 250;

    explicit StorageMapViewModel(StorageMapStore& store, QObject* parent = nullptr);
    static StorageMapViewModel* create(QQmlEngine* engine, QJSEngine*);

    QString state() const;
    QString title() const { return m_store.stateTitle(); }
    QString message() const { return m_store.stateMessage(); }
    QString subtitle() const;
    bool hasFolder() const { return m_store.hasAuthorizedFolder(); }
    bool isScanning() const { return m_store.isScanning(); }
    // The map stays while a rescan runs; a failed scan shows no stale map.
    bool showsMap() const { return m_store.hasResult() && m_store.errorMessage().isEmpty(); }
    bool showsStatus() const;
    QString progressText() const { return m_progressText; }
    KeyedListModel* summary() { return &m_summary; }
    KeyedListModel* items() { return &m_items; }
    QString moreItemsText() const { return m_moreItemsText; }
    KeyedListModel* categories() { return &m_categories; }
    StorageTreemapViewModel* treemap() { return &m_treemap; }

    Q_INVOKABLE void restore();
    Q_INVOKABLE void chooseFolder(const QUrl& folder);
    Q_INVOKABLE void rescan();
    Q_INVOKABLE void cancelScan();
    Q_INVOKABLE void forgetFolder();
    Q_INVOKABLE void reportPickerFailure(const QString& description);

Q_SIGNALS:
    void changed();
    void progressChanged();

private:
    void rebuild();
    void stateChanged();
    void updateProgress();

    StorageMapStore& m_store;
    KeyedListModel m_summary;
    KeyedListModel m_items;
    QString m_moreItemsText;
    KeyedListModel m_categories;
    StorageTreemapViewModel m_treemap;
    QTimer m_progressTimer;
    QString m_progressText;
};

} // namespace kestrum
