#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <functional>

namespace kestrum {

// Whether the desktop can show a tray item now. A StatusNotifier host is announced through
// org.kde.StatusNotifierWatcher on the session bus, and panels come and go (they start late at login,
// they crash and restart); the watcher follows the service and its host registrations. An older
// XEmbed tray, which has no such announcement, is asked for once through `otherTray`. The host is read
// without blocking: the answer arrives through the event loop.
class TrayHostWatcher : public QObject {
    Q_OBJECT
public:
    static const QString kWatcherService;
    static constexpr int kReadTimeoutMs = 2000;

    TrayHostWatcher(QDBusConnection bus, std::function<bool()> otherTray, QObject* parent = nullptr);
    bool isAvailable() const { return m_statusNotifierHost || m_otherTray; }

Q_SIGNALS:
    void availabilityChanged();

private Q_SLOTS:
    void hostRegistered();
    void hostUnregistered();

private:
    void readHost();
    void setHostPresent(bool present);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_service = nullptr;
    bool m_statusNotifierHost = false;
    bool m_otherTray = false;
    quint64 m_reads = 0;
};

} // namespace kestrum
