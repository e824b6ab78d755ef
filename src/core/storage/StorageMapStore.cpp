#include "StorageMapStore.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kestrum {

StorageMapStore::StorageMapStore(std::shared_ptr<StorageMapScanning> scanner,
                                 std::shared_ptr<StoragePermissionPersisting> permissions, QObject* parent)
    : QObject(parent), m_scanner(std::move(scanner)), m_permissions(std::move(permissions)) {
    m_executor.setMaxThreadCount(1);
}

StorageMapStore::~StorageMapStore() {
    if (m_scanStop)
        m_scanStop->request_stop();
    m_executor.waitForDone();
}

StorageMapStore::State StorageMapStore::state() const {
    if (m_isScanning)
        return State::scanning;
    if (m_authorizedPath && m_errorMessage)
        return State::failed;
    if (m_result)
        return State::result;
    if (m_authorizedPath)
        return State::folderReady;
    return State::noFolder;
}

QString StorageMapStore::stateTitle() const {
    switch (state()) {
    case State::noFolder:
        return L10n::string(trText("Bir klasöre izin ver"));
    case State::folderReady:
        return L10n::string(trText("Klasör izni hazır"));
    case State::scanning:
        return L10n::string(trText("Depolama haritası hazırlanıyor"));
    case State::result:
        return m_result ? L10n::string(m_result->rootName) : QString();
    case State::failed:
        return L10n::string(trText("Depolama taraması tamamlanamadı"));
    }
    return {};
}

QString StorageMapStore::stateMessage() const {
    switch (state()) {
    case State::noFolder:
        if (m_errorMessage)
            return L10n::localizedFragment(*m_errorMessage);
        return L10n::string(trText(
            "Ev klasörü, İndirilenler, Belgeler veya incelemek istediğin başka bir klasörü seçebilirsin."));
    case State::folderReady:
        return authorizedPath();
    case State::scanning:
        return authorizedPath();
    case State::result:
        if (m_result && m_result->items.empty())
            return L10n::string(trText("Bu klasörde boyutu ölçülebilen dosya bulunamadı."));
        if (m_result && m_result->wasTruncated)
            return L10n::string(
                trText("Tarama 500.000 dosyalık güvenlik sınırına ulaştı; sonuç kısmi olabilir."));
        return {};
    case State::failed:
        return L10n::localizedFragment(errorMessage());
    }
    return {};
}

void StorageMapStore::setAuthorizedPath(std::optional<QString> path) {
    if (path == m_authorizedPath)
        return;
    m_authorizedPath = std::move(path);
    Q_EMIT authorizedPathChanged();
    Q_EMIT stateChanged();
}

const std::vector<StorageTreemapTile>& StorageMapStore::tiles() const {
    if (!m_tiles)
        m_tiles = m_result ? StorageTreemapLayout::tiles(m_result->items) : std::vector<StorageTreemapTile>{};
    return *m_tiles;
}

void StorageMapStore::setResult(std::optional<StorageScanResult> result) {
    if (result == m_result)
        return;
    m_result = std::move(result);
    m_tiles.reset();
    Q_EMIT resultChanged();
    Q_EMIT stateChanged();
}

void StorageMapStore::setScanning(bool scanning) {
    if (scanning == m_isScanning)
        return;
    m_isScanning = scanning;
    Q_EMIT isScanningChanged();
    Q_EMIT stateChanged();
}

void StorageMapStore::setError(std::optional<QString> message) {
    if (message == m_errorMessage)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
    Q_EMIT stateChanged();
}

void StorageMapStore::restorePermissionIfNeeded() {
    if (m_didRestorePermission)
        return;
    m_didRestorePermission = true;
    try {
        const auto saved = m_permissions->load();
        setAuthorizedPath(saved);
        setError(std::nullopt);
    } catch (const KestrumError& error) {
        // A stale or unresolvable folder is dropped so that the user is asked again.
        m_permissions->clear();
        setAuthorizedPath(std::nullopt);
        setError(error.description());
    }
}

void StorageMapStore::authorizeAndScan(const QString& folder) {
    try {
        m_permissions->save(folder);
    } catch (const KestrumError& error) {
        setError(trTemplate("Klasör izni kaydedilemedi: \\(description)", {error.description()}));
        return;
    }
    m_didRestorePermission = true;
    setAuthorizedPath(folder);
    setResult(std::nullopt);
    setError(std::nullopt);
    startScan();
}

void StorageMapStore::reportPickerFailure(const QString& description) {
    setError(trTemplate("Klasör seçilemedi: \\(description)", {description}));
}

void StorageMapStore::startScan() {
    if (!m_authorizedPath) {
        setError(trText("Önce taranacak klasöre izin ver."));
        return;
    }
    if (m_scanStop)
        m_scanStop->request_stop();
    m_scanStop.emplace();
    const quint64 generation = ++m_scanGeneration;
    setScanning(true);
    setError(std::nullopt);
    // The work is handed to the executor here, outside the coroutine: the coroutine only awaits it.
    std::shared_ptr<StorageMapScanning> scanner = m_scanner;
    const QString folder = *m_authorizedPath;
    const std::stop_token stop = m_scanStop->get_token();
    QFuture<StorageScanResult> work =
        QtConcurrent::run(&m_executor, [scanner, folder, stop] { return scanner->scan(folder, stop); });
    m_scanTask.emplace(runScan(std::move(work), generation, stop));
}

QCoro::Task<void> StorageMapStore::runScan(QFuture<StorageScanResult> work, quint64 generation,
                                           std::stop_token stop) {
    QPointer<StorageMapStore> self(this);
    std::optional<StorageScanResult> result;
    std::optional<QString> failure;
    bool cancelled = false;
    try {
        // Awaited as a void future (which rethrows the work's exception) and the result then moved out
        // rather than copied: a folder may have a quarter of a million children.
        co_await QFuture<void>(work);
        result = work.takeResult();
    } catch (const CancellationError&) {
        cancelled = true;
    } catch (...) {
        failure = describeException(std::current_exception());
    }
    if (!self || generation != m_scanGeneration)
        co_return; // a newer scan owns the state
    if (stop.stop_requested())
        cancelled = true;
    m_scanStop.reset();
    if (!cancelled) {
        if (result)
            setResult(std::move(result));
        else
            setError(failure);
    }
    setScanning(false);
    m_scanTask.reset(); // this coroutine's own handle: it finishes and frees itself
}

void StorageMapStore::cancelScan() {
    if (!m_isScanning)
        return;
    ++m_scanGeneration; // the running task finds itself outdated and writes nothing
    if (m_scanStop)
        m_scanStop->request_stop();
    m_scanStop.reset();
    m_scanTask.reset();
    setScanning(false);
}

void StorageMapStore::clearPermission() {
    ++m_scanGeneration;
    if (m_scanStop)
        m_scanStop->request_stop();
    m_scanStop.reset();
    m_scanTask.reset();
    m_permissions->clear();
    setScanning(false);
    setAuthorizedPath(std::nullopt);
    setResult(std::nullopt);
    setError(std::nullopt);
}

} // namespace kestrum
