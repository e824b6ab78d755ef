#include "KWinScriptForegroundApplicationProvider.h"

#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <qcoro/qcorodbuspendingcall.h>
#include <unistd.h>

namespace kestrum {

namespace {

const QString kScripting = QStringLiteral("/Scripting");
const QString kScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString kScriptInterface = QStringLiteral("org.kde.kwin.Script");

// A JavaScript string literal of any text.
QString jsString(const QString& text) {
    QString json = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
    return json.mid(1, json.size() - 2);
}

// The reports carry a class and a name, not a document: anything longer is no class.
constexpr qsizetype kMaximumReportPart = 4096;

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(KWinScriptForegroundApplicationProvider::kKWinService), path, interface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage scriptingCall(const char* method, const QVariantList& arguments) {
    return call(kScripting, kScriptingInterface, QLatin1String(method), arguments);
}

QDBusMessage runCall(const QString& scriptPath) {
    return call(scriptPath, kScriptInterface, QStringLiteral("run"));
}

QDBusMessage nameOwnerCall() {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    message << QLatin1String(KWinScriptForegroundApplicationProvider::kKWinService);
    return message;
}

} // namespace

KWinScriptForegroundApplicationProvider::KWinScriptForegroundApplicationProvider(
    std::shared_ptr<ForegroundWindowResolver> resolver, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_resolver(std::move(resolver)), m_bus(std::move(bus)),
      m_state(MetricAvailability::unavailable(trText("KWin betiği henüz yüklenmedi."))) {
    static int instances = 0;
    m_pluginName = QStringLiteral("kestrum-foreground-%1-%2").arg(::getpid()).arg(++instances);
    if (!m_bus.isConnected()) {
        m_state.setAvailability(MetricAvailability::unavailable(trText("Oturum veri yolu (D-Bus) yok.")));
        return;
    }
    m_registered = m_bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAllSlots);
    // A restarted KWin forgets the script: load it again.
    m_watcher = new QDBusServiceWatcher(QLatin1String(kKWinService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                m_kwinOwner.clear();
                if (newOwner.isEmpty())
                    m_state.setAvailability(
                        MetricAvailability::unavailable(trText("KWin oturum veri yolundan ayrıldı.")));
                else
                    fireAndForget(load(), "KWin script load");
            });
    fireAndForget(load(), "KWin script load");
}

KWinScriptForegroundApplicationProvider::~KWinScriptForegroundApplicationProvider() {
    unload();
    if (m_registered)
        m_bus.unregisterObject(QLatin1String(kObjectPath));
}

QString KWinScriptForegroundApplicationProvider::scriptText(const QString& service) {
    return QStringLiteral(
               R"JS(// Kestrum: tells Kestrum which application is in front: its window class, desktop file
// name and process id. Window titles are never sent.
(function () {
    var service = %1, path = %2, iface = %3;
    function text(value) { return value === undefined || value === null ? "" : String(value); }
    function report(window) {
        if (!window) {
            callDBus(service, path, iface, "WindowActivated", "", "", "", "");
            return;
        }
        callDBus(service, path, iface, "WindowActivated", text(window.resourceClass),
                 text(window.resourceName), text(window.desktopFileName), text(window.pid));
    }
    if (workspace.windowActivated !== undefined) {
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else {
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
})();
)JS")
        .arg(jsString(service), jsString(QLatin1String(kObjectPath)),
             jsString(QLatin1String(kInterfaceName)));
}

std::optional<ForegroundWindow>
KWinScriptForegroundApplicationProvider::parseReport(const QString& resourceClass,
                                                     const QString& resourceName,
                                                     const QString& desktopFileName, const QString& pid) {
    ForegroundWindow window;
    window.windowClass = resourceClass.left(kMaximumReportPart).trimmed();
    window.windowInstance = resourceName.left(kMaximumReportPart).trimmed();
    window.applicationID = desktopFileName.left(kMaximumReportPart).trimmed();
    bool ok = false;
    const qint64 number = pid.trimmed().toLongLong(&ok);
    if (ok && number > 0)
        window.pid = number;
    if (window.windowClass.isEmpty() && window.windowInstance.isEmpty() && window.applicationID.isEmpty() &&
        !window.pid)
        return std::nullopt;
    return window;
}

void KWinScriptForegroundApplicationProvider::WindowActivated(const QString& resourceClass,
                                                              const QString& resourceName,
                                                              const QString& desktopFileName,
                                                              const QString& pid) {
    // Only the KWin that runs our script may say what is in front.
    if (!calledFromDBus() || m_kwinOwner.isEmpty() || message().service() != m_kwinOwner)
        return;
    const auto window = parseReport(resourceClass, resourceName, desktopFileName, pid);
    m_state.set(window ? m_resolver->resolve(*window) : std::nullopt);
}

QCoro::Task<void> KWinScriptForegroundApplicationProvider::load() {
    QPointer<KWinScriptForegroundApplicationProvider> self(this);
    QDBusConnection bus = m_bus;
    const auto unavailable = [this](const QString& reason) {
        m_state.setAvailability(MetricAvailability::unavailable(reason));
    };
    if (!m_registered) {
        unavailable(trText("Kestrum'un ön plan nesnesi oturum veri yoluna kaydedilemedi."));
        co_return;
    }
    // g++ 12 cannot keep QStringLiteral temporaries alive across co_await: every call is built first.
    const QDBusMessage ownerCall = nameOwnerCall();
    const QDBusMessage owner = co_await bus.asyncCall(ownerCall);
    if (!self)
        co_return;
    if (owner.type() != QDBusMessage::ReplyMessage) {
        unavailable(trText("KWin oturum veri yolunda bulunamadı."));
        co_return;
    }
    const QString kwinOwner = owner.arguments().value(0).toString();

    const QString path = m_scriptDirectory.filePath(QStringLiteral("kestrum-foreground.js"));
    QFile file(path);
    if (!m_scriptDirectory.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(scriptText(bus.baseService()).toUtf8()) < 0) {
        unavailable(trText("KWin betiği için geçici dosya yazılamadı."));
        co_return;
    }
    file.close();

    // A script of ours from before a KWin restart would be in the way.
    const QDBusMessage unloadCall = scriptingCall("unloadScript", {m_pluginName});
    co_await bus.asyncCall(unloadCall);
    if (!self)
        co_return;
    const QDBusMessage loadCall = scriptingCall("loadScript", {path, m_pluginName});
    const QDBusMessage loaded = co_await bus.asyncCall(loadCall);
    if (!self)
        co_return;
    if (loaded.type() != QDBusMessage::ReplyMessage) {
        unavailable(trTemplate("KWin betiği yüklemedi: \\(reason)",
                               {ForegroundApplication::sanitizedIdentifier(loaded.errorMessage())}));
        co_return;
    }
    const int id = loaded.arguments().value(0).toInt();
    if (id < 0) {
        unavailable(trText("KWin betiği yüklemeyi reddetti."));
        co_return;
    }
    // The owner must be known before the script's first report arrives.
    m_kwinOwner = kwinOwner;
    // Plasma 6 places the script object under /Scripting, Plasma 5 at /<id>.
    const QDBusMessage plasma6Run = runCall(QStringLiteral("/Scripting/Script%1").arg(id));
    QDBusMessage ran = co_await bus.asyncCall(plasma6Run);
    if (!self)
        co_return;
    if (ran.type() != QDBusMessage::ReplyMessage) {
        const QDBusMessage plasma5Run = runCall(QStringLiteral("/%1").arg(id));
        ran = co_await bus.asyncCall(plasma5Run);
    }
    if (!self)
        co_return;
    if (ran.type() != QDBusMessage::ReplyMessage) {
        m_kwinOwner.clear();
        unavailable(trTemplate("KWin betiği çalıştırmadı: \\(reason)",
                               {ForegroundApplication::sanitizedIdentifier(ran.errorMessage())}));
        co_return;
    }
    m_state.setAvailability(MetricAvailability::available());
}

void KWinScriptForegroundApplicationProvider::unload() {
    if (!m_bus.isConnected() || m_kwinOwner.isEmpty())
        return;
    // Sent without waiting: KWin removes the script whether or not Kestrum is still there to hear it.
    m_bus.call(scriptingCall("unloadScript", {m_pluginName}), QDBus::NoBlock);
    m_kwinOwner.clear();
}

} // namespace kestrum
