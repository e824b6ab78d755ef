#pragma once

#include "FileSystemStorageMapScanner.h"
#include "StoragePermissionRepository.h"
#include "StorageTreemapLayout.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

// The storage map screen's state: the chosen folder, the running scan and the last result. Lives on
// the main thread; the scan runs on a thread of its own. Starting a scan cancels the previous one, and
// a cancelled scan never writes a result.
class StorageMapStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString authorizedPath READ authorizedPath NOTIFY authorizedPathChanged)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY resultChanged)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(int state READ stateValue NOTIFY stateChanged)

public:
    enum class State { noFolder, folderReady, scanning, result, failed };
    Q_ENUM(State)

    StorageMapStore(std::shared_ptr<StorageMapScanning> scanner,
                    std::shared_ptr<StoragePermissionPersisting> permissions, QObject* parent = nullptr);
    ~StorageMapStore() override;

    Q_INVOKABLE void restorePermissionIfNeeded();
    Q_INVOKABLE void authorizeAndScan(const QString& folder);
    Q_INVOKABLE void startScan();
    Q_INVOKABLE void clearPermission();
    // Stops the running scan without a result or a message; the folder stays chosen and remembered,
    // and a previous result stays.
    Q_INVOKABLE void cancelScan();
    // The running scan's live file count, where the scanner keeps one.
    std::optional<int64_t> filesCountedSoFar() const { return m_scanner->filesCountedSoFar(); }
    // The folder picker failed: "Klasör seçilemedi: …".
    void reportPickerFailure(const QString& description);

    QString authorizedPath() const { return m_authorizedPath.value_or(QString()); }
    bool hasAuthorizedFolder() const { return m_authorizedPath.has_value(); }
    const std::optional<StorageScanResult>& result() const { return m_result; }
    bool hasResult() const { return m_result.has_value(); }
    // Laid out when first asked for: the window lays out only what it can show.
    const std::vector<StorageTreemapTile>& tiles() const;
    bool isScanning() const { return m_isScanning; }
    QString errorMessage() const { return m_errorMessage.value_or(QString()); }
    State state() const;
    int stateValue() const { return static_cast<int>(state()); }

    // The screen's texts for the current state, localised.
    QString stateTitle() const;
    QString stateMessage() const;

Q_SIGNALS:
    void authorizedPathChanged();
    void resultChanged();
    void isScanningChanged();
    void errorMessageChanged();
    void stateChanged();

private:
    QCoro::Task<void> runScan(QFuture<StorageScanResult> work, quint64 generation, std::stop_token stop);
    void setAuthorizedPath(std::optional<QString> path);
    void setResult(std::optional<StorageScanResult> result);
    void setScanning(bool scanning);
    void setError(std::optional<QString> message);

    std::shared_ptr<StorageMapScanning> m_scanner;
    std::shared_ptr<StoragePermissionPersisting> m_permissions;
    std::optional<QString> m_authorizedPath;
    std::optional<StorageScanResult> m_result;
    mutable std::optional<std::vector<StorageTreemapTile>> m_tiles;
    bool m_isScanning = false;
    std::optional<QString> m_errorMessage;
    bool m_didRestorePermission = false;
    quint64 m_scanGeneration = 0;
    std::optional<std::stop_source> m_scanStop;
    std::optional<QCoro::Task<void>> m_scanTask;
    QThreadPool m_executor;
};

} // namespace kestrum
