#include "MonitorBusService.h"

#include "culprits/ResourceCulpritJson.h"
#include "foundation/Translatable.h"
#include "healthtests/ProcessorComparisonJson.h"
#include "monitor/SystemMonitorStore.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPointer>

namespace kestrum {

namespace {

QDBusMessage failure(const QDBusMessage& request, const QString& text) {
    return request.createErrorReply(QLatin1String(MonitorBusService::kFailedError), text);
}

// Replies after the store has applied and saved the marker, or with why it could not.
QCoro::Task<void> answerIncident(QPointer<SystemMonitorStore> store, bool starting, QString note,
                                 QDBusConnection bus, QDBusMessage request) {
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    if (!store->isArchivePrepared()) {
        bus.send(failure(request, store->persistenceError()));
        co_return;
    }
    if (starting && store->activeIncident()) {
        bus.send(failure(request, trText("Zaten açık bir olay işareti var; önce onu durdur.")));
        co_return;
    }
    if (!starting && !store->activeIncident()) {
        bus.send(failure(request, trText("Açık bir olay işareti yok.")));
        co_return;
    }
    // Two statements: g++ 12 mishandles co_await on a conditional expression of two tasks.
    QCoro::Task<bool> pending = starting ? store->startIncident(note) : store->stopIncident(note);
    const bool saved = co_await std::move(pending);
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    if (!saved) {
        bus.send(failure(request, store->persistenceError()));
        co_return;
    }
    bus.send(request.createReply(starting ? trText("Olay işareti başlatıldı.")
                                          : trText("Olay işareti durduruldu.")));
}

QCoro::Task<void> answerNotifications(QPointer<SystemMonitorStore> store, bool enabled, QDBusConnection bus,
                                      QDBusMessage request) {
    if (store)
        co_await store->setNotificationsEnabled(enabled);
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    const QString message = enabled ? store->notificationStatusMessage() : trText("Bildirimler kapatıldı.");
    bus.send(request.createReply(QVariantList{store->notificationsEnabled(), message}));
}

QCoro::Task<void> answerSession(QPointer<SystemMonitorStore> store, bool starting, QString name,
                                QDBusConnection bus, QDBusMessage request) {
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    if (!store->isArchivePrepared()) {
        bus.send(failure(request, store->persistenceError()));
        co_return;
    }
    if (starting && store->activePerformanceSession()) {
        bus.send(failure(request, trText("Zaten süren bir performans oturumu var; önce onu durdur.")));
        co_return;
    }
    if (!starting && !store->activePerformanceSession()) {
        bus.send(failure(request, trText("Süren bir performans oturumu yok.")));
        co_return;
    }
    QCoro::Task<bool> pending =
        starting ? store->startPerformanceSession(name) : store->stopPerformanceSession();
    const bool saved = co_await std::move(pending);
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    if (!saved) {
        bus.send(failure(request, store->persistenceError()));
        co_return;
    }
    bus.send(request.createReply(starting ? trText("Performans oturumu başlatıldı.")
                                          : trText("Performans oturumu durduruldu.")));
}

QString comparisonText(const SystemMonitorStore& store) {
    const QJsonObject state = processorComparisonToJson(store.processorComparison(), store.continuityClock());
    return QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact));
}

QCoro::Task<void> answerComparisonSave(QPointer<SystemMonitorStore> store, ProcessorComparisonAction action,
                                       QDBusConnection bus, QDBusMessage request) {
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    const bool saved = co_await store->saveProcessorComparison(action);
    if (!store) {
        bus.send(failure(request, trText("Kestrum kapanıyor; değişiklik yapılamadı.")));
        co_return;
    }
    if (!saved) {
        const QString reason = store->persistenceError().isEmpty()
                                   ? trText("Kaydedilecek bitmiş bir karşılaştırma yok.")
                                   : store->persistenceError();
        bus.send(failure(request, reason));
        co_return;
    }
    bus.send(request.createReply(comparisonText(*store)));
}

} // namespace

QString canonicalFolder(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

MonitorBusService::MonitorBusService(SystemMonitorStore& store, QString dataDirectory,
                                     QString configDirectory, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_store(store), m_dataDirectory(canonicalFolder(dataDirectory)),
      m_configDirectory(canonicalFolder(configDirectory)), m_bus(std::move(bus)) {}

MonitorBusService::~MonitorBusService() {
    if (m_registered) {
        m_bus.unregisterObject(QLatin1String(kObjectPath));
        m_bus.unregisterService(QLatin1String(kServiceName));
    }
}

bool MonitorBusService::registerOnBus() {
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAllSlots))
        return false;
    if (!m_bus.registerService(QLatin1String(kServiceName))) {
        m_bus.unregisterObject(QLatin1String(kObjectPath));
        return false;
    }
    m_registered = true;
    return true;
}

bool MonitorBusService::isOwnFolder(const QString& requested, const QString& own) {
    if (canonicalFolder(requested) == own)
        return true;
    sendErrorReply(QLatin1String(kOtherFolderError), own);
    return false;
}

QString MonitorBusService::StartIncident(const QString& dataDirectory, const QString& note) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    setDelayedReply(true);
    answerIncident(QPointer<SystemMonitorStore>(&m_store), true, note, connection(), message());
    return {};
}

QString MonitorBusService::StopIncident(const QString& dataDirectory, const QString& note) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    setDelayedReply(true);
    answerIncident(QPointer<SystemMonitorStore>(&m_store), false, note, connection(), message());
    return {};
}

bool MonitorBusService::SetNotificationsEnabled(const QString& configDirectory, bool enabled, QString&) {
    if (!isOwnFolder(configDirectory, m_configDirectory))
        return false;
    setDelayedReply(true);
    answerNotifications(QPointer<SystemMonitorStore>(&m_store), enabled, connection(), message());
    return false;
}

bool MonitorBusService::IsMonitoring() {
    return m_store.isMonitoring();
}

QString MonitorBusService::ResourceCulprits(const QString& dataDirectory) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    ResourceCulpritReport report;
    report.consented = m_store.resourceAnalysisEnabled();
    report.sampleInterval = m_store.sampleInterval();
    report.foregroundAvailability = m_store.foregroundApplicationAvailability();
    report.analysis = m_store.resourceCulpritAnalysis();
    report.batteryImpact = m_store.batteryImpactAnalysis();
    report.applicationUsage = m_store.applicationUsage();
    return QString::fromUtf8(QJsonDocument(report.toJson()).toJson(QJsonDocument::Compact));
}

bool MonitorBusService::SetResourceAnalysisEnabled(const QString& configDirectory, bool enabled) {
    if (!isOwnFolder(configDirectory, m_configDirectory))
        return false;
    m_store.setResourceAnalysisEnabled(enabled);
    return m_store.resourceAnalysisEnabled();
}

QString MonitorBusService::ClearResourceActivity(const QString& dataDirectory) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    m_store.clearResourceActivity();
    return trText("Bu oturumdaki uygulama korelasyonları temizlendi.");
}

QString MonitorBusService::StartPerformanceSession(const QString& dataDirectory, const QString& name) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    setDelayedReply(true);
    answerSession(QPointer<SystemMonitorStore>(&m_store), true, name, connection(), message());
    return {};
}

QString MonitorBusService::StopPerformanceSession(const QString& dataDirectory) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    setDelayedReply(true);
    answerSession(QPointer<SystemMonitorStore>(&m_store), false, {}, connection(), message());
    return {};
}

QString MonitorBusService::ProcessorComparison(const QString& dataDirectory, const QString& command,
                                               const QString& action) {
    if (!isOwnFolder(dataDirectory, m_dataDirectory))
        return {};
    const auto refuse = [this](const QString& reason) {
        sendErrorReply(QLatin1String(kFailedError), reason);
        return QString();
    };
    if (command == u"start") {
        if (!m_store.startProcessorComparison())
            return refuse(trText("Karşılaştırma başlatılamadı: canlı izleme açık olmalı, bilgisayar uyanık "
                                 "olmalı ve başka bir test çalışmamalı."));
    } else if (command == u"begin") {
        if (!m_store.beginProcessorComparisonAfterWindow())
            return refuse(trText("Sonraki ölçüm başlatılamadı: karşılaştırma eyleminizi beklemiyor."));
    } else if (command == u"dismiss") {
        m_store.dismissProcessorComparison();
    } else if (command == u"save") {
        const auto chosen = fromRawValue<ProcessorComparisonAction>(action);
        if (!chosen)
            return refuse(trText("Eylem unspecified, observedOnly veya pausedKnownTask olmalı."));
        setDelayedReply(true);
        answerComparisonSave(QPointer<SystemMonitorStore>(&m_store), *chosen, connection(), message());
        return {};
    } else if (command != u"state") {
        return refuse(trText("Bilinmeyen karşılaştırma adımı."));
    }
    return comparisonText(m_store);
}

bool MonitorBusService::ShowWindow() {
    return m_showWindow ? m_showWindow() : false;
}

MonitorCallResult callRunningMonitor(const QString& method, const QVariantList& arguments,
                                     QDBusConnection bus) {
    MonitorCallResult result;
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QLatin1String(MonitorBusService::kServiceName)).value())
        return result;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(MonitorBusService::kServiceName), QLatin1String(MonitorBusService::kObjectPath),
        QLatin1String(MonitorBusService::kInterfaceName), method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 30000);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        result.status = MonitorCallResult::Status::succeeded;
        result.arguments = reply.arguments();
    } else if (reply.errorName() == QLatin1String(MonitorBusService::kOtherFolderError)) {
        result.status = MonitorCallResult::Status::otherFolder;
    } else if (reply.errorName() == QLatin1String(MonitorBusService::kFailedError)) {
        result.status = MonitorCallResult::Status::failed;
        result.errorMessage = reply.errorMessage();
    }
    return result;
}

} // namespace kestrum
