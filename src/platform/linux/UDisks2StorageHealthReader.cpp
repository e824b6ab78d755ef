#include "UDisks2StorageHealthReader.h"

#include "SysfsFiles.h"
#include "foundation/Translatable.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>

namespace kestrum {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kBlockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kAtaInterface = QStringLiteral("org.freedesktop.UDisks2.Drive.Ata");
const QString kNVMeInterface = QStringLiteral("org.freedesktop.UDisks2.NVMe.Controller");
constexpr double kKelvinOffset = 273.15;

// NVMe critical-warning flags that say the drive itself reports lost reliability.
const QStringList kNVMeReliabilityWarnings = {QStringLiteral("spare"), QStringLiteral("degraded"),
                                              QStringLiteral("readonly")};

enum class CallFailure { none, serviceMissing, timedOut, refused };

struct CallResult {
    QDBusMessage reply;
    CallFailure failure = CallFailure::none;
};

// One bus call that never blocks past the deadline.
CallResult call(const QDBusConnection& bus, const QDBusMessage& message, const QDeadlineTimer& deadline) {
    const qint64 remaining = deadline.remainingTime();
    if (remaining <= 0)
        return {{}, CallFailure::timedOut};
    CallResult result{bus.call(message, QDBus::Block, static_cast<int>(remaining)), CallFailure::none};
    if (result.reply.type() == QDBusMessage::ReplyMessage)
        return result;
    const QString error = result.reply.errorName();
    if (error == u"org.freedesktop.DBus.Error.ServiceUnknown" ||
        error == u"org.freedesktop.DBus.Error.NameHasNoOwner")
        result.failure = CallFailure::serviceMissing;
    else if (error == u"org.freedesktop.DBus.Error.NoReply" ||
             error == u"org.freedesktop.DBus.Error.Timeout" ||
             error == u"org.freedesktop.DBus.Error.TimedOut")
        result.failure = CallFailure::timedOut;
    else
        result.failure = CallFailure::refused;
    return result;
}

QDBusMessage propertiesCall(const QString& path, const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, kProperties, method);
    message.setArguments(arguments);
    return message;
}

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QVariant unwrap(const QVariant& value) {
    return value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
}

std::optional<qulonglong> unsignedValue(const QVariantMap& map, const char* key) {
    const QVariant value = unwrap(map.value(QLatin1String(key)));
    bool ok = false;
    const qulonglong number = value.toULongLong(&ok);
    return ok && value.isValid() ? std::optional<qulonglong>(number) : std::nullopt;
}

std::optional<double> kelvinToCelsius(const QVariant& value) {
    bool ok = false;
    const double kelvin = unwrap(value).toDouble(&ok);
    if (!ok || kelvin <= 0)
        return std::nullopt; // 0 means "not known"
    return kelvin - kKelvinOffset;
}

QString failureReason(CallFailure failure) {
    switch (failure) {
    case CallFailure::serviceMissing:
        return trText("udisks2 hizmeti bu sistemde çalışmıyor.");
    case CallFailure::timedOut:
        return trText("udisks2 zamanında yanıt vermedi.");
    case CallFailure::refused:
    case CallFailure::none:
        break;
    }
    return trText("udisks2 bu disk hakkında bilgi vermedi.");
}

void readAta(const QVariantMap& ata, StorageHealth& health) {
    if (!unwrap(ata.value(QStringLiteral("SmartSupported"))).toBool()) {
        health.unavailableReason = trText("Sürücü SMART desteği bildirmiyor.");
        return;
    }
    if (unsignedValue(ata, "SmartUpdated").value_or(0) == 0) {
        health.unavailableReason = trText("udisks2 bu sürücünün SMART verisini henüz toplamadı.");
        return;
    }
    health.failurePredicted = unwrap(ata.value(QStringLiteral("SmartFailing"))).toBool();
    if (const auto seconds = unsignedValue(ata, "SmartPowerOnSeconds"); seconds && *seconds > 0)
        health.powerOnHours = static_cast<double>(*seconds) / 3600.0;
    health.temperatureCelsius = kelvinToCelsius(ata.value(QStringLiteral("SmartTemperature")));
    bool ok = false;
    const qlonglong badSectors = unwrap(ata.value(QStringLiteral("SmartNumBadSectors"))).toLongLong(&ok);
    if (ok && badSectors >= 0)
        health.badSectors = badSectors;
}

void readNVMe(const QVariantMap& controller, const QVariantMap& attributes, StorageHealth& health) {
    if (unsignedValue(controller, "SmartUpdated").value_or(0) == 0) {
        health.unavailableReason = trText("udisks2 bu sürücünün SMART verisini henüz toplamadı.");
        return;
    }
    const QStringList warnings =
        unwrap(controller.value(QStringLiteral("SmartCriticalWarning"))).toStringList();
    health.failurePredicted = std::any_of(warnings.begin(), warnings.end(), [](const QString& warning) {
        return kNVMeReliabilityWarnings.contains(warning);
    });
    if (const auto hours = unsignedValue(controller, "SmartPowerOnHours"))
        health.powerOnHours = static_cast<double>(*hours);
    health.temperatureCelsius = kelvinToCelsius(controller.value(QStringLiteral("SmartTemperature")));
    if (const auto used = unsignedValue(attributes, "percent_used"); used && *used <= 255)
        health.percentageUsed = static_cast<int>(*used);
    if (const auto errors = unsignedValue(attributes, "media_errors"))
        health.mediaErrors = *errors;
}

} // namespace

UDisks2StorageHealthReader::UDisks2StorageHealthReader(std::optional<QDBusConnection> bus, QString sysRoot,
                                                       int budgetMilliseconds)
    : m_bus(std::move(bus)), m_sysRoot(std::move(sysRoot)), m_budgetMilliseconds(budgetMilliseconds) {}

QString UDisks2StorageHealthReader::objectPathElement(const QString& kernelName) {
    QString element;
    for (const QChar c : kernelName) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_')
            element += c;
        else
            element += QStringLiteral("_%1").arg(c.unicode() & 0xff, 2, 16, QLatin1Char('0'));
    }
    return element;
}

std::optional<double> UDisks2StorageHealthReader::hwmonTemperature(const QString& deviceName) const {
    if (!deviceName.startsWith(u"nvme"))
        return std::nullopt;
    // The namespace's controller: "nvme0", or under native multipath a controller inside the subsystem.
    const QString device = m_sysRoot + QStringLiteral("/block/") + deviceName + QStringLiteral("/device");
    QString controller = sysfs::linkTargetName(device).value_or(QString());
    static const QRegularExpression controllerName(QStringLiteral("^nvme[0-9]+$"));
    if (!controllerName.match(controller).hasMatch()) {
        controller.clear();
        for (const QString& entry : sysfs::listDirectory(device)) {
            if (controllerName.match(entry).hasMatch()) {
                controller = entry;
                break;
            }
        }
    }
    if (controller.isEmpty())
        return std::nullopt;
    const QString controllerDevice =
        QFileInfo(m_sysRoot + QStringLiteral("/class/nvme/") + controller + QStringLiteral("/device"))
            .canonicalFilePath();
    const QString hwmonRoot = m_sysRoot + QStringLiteral("/class/hwmon/");
    for (const QString& hwmon : sysfs::listDirectory(hwmonRoot)) {
        const QString dir = hwmonRoot + hwmon;
        if (sysfs::readText(dir + QStringLiteral("/name")) != u"nvme")
            continue;
        // Since 5.13 the sensor hangs on the controller; before, on the PCI function.
        const bool matches =
            sysfs::linkTargetName(dir + QStringLiteral("/device")) == controller ||
            (!controllerDevice.isEmpty() &&
             QFileInfo(dir + QStringLiteral("/device")).canonicalFilePath() == controllerDevice);
        if (!matches)
            continue;
        const auto milli = sysfs::readInteger(dir + QStringLiteral("/temp1_input"));
        if (milli && *milli > -40000 && *milli < 150000)
            return static_cast<double>(*milli) / 1000.0;
        return std::nullopt;
    }
    return std::nullopt;
}

StorageHealth UDisks2StorageHealthReader::read(const QString& deviceName) {
    StorageHealth health;
    QStringList sources;
    if (!m_bus || !m_bus->isConnected()) {
        health.unavailableReason = trText("Sistem veri yoluna bağlanılamadığı için udisks2 sorulamadı.");
    } else {
        const QDeadlineTimer deadline(m_budgetMilliseconds);
        const QString blockPath =
            QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + objectPathElement(deviceName);
        const CallResult drive =
            call(*m_bus,
                 propertiesCall(blockPath, QStringLiteral("Get"), {kBlockInterface, QStringLiteral("Drive")}),
                 deadline);
        const QString drivePath =
            drive.failure == CallFailure::none && !drive.reply.arguments().isEmpty()
                ? unwrap(drive.reply.arguments().first()).value<QDBusObjectPath>().path()
                : QString();
        if (drive.failure != CallFailure::none) {
            health.unavailableReason = failureReason(drive.failure);
        } else if (drivePath.isEmpty() || drivePath == u"/") {
            health.unavailableReason = trText("udisks2 bu disk için sürücü bilgisi sunmuyor.");
        } else {
            const CallResult ata =
                call(*m_bus, propertiesCall(drivePath, QStringLiteral("GetAll"), {kAtaInterface}), deadline);
            const QVariantMap ataProperties =
                ata.failure == CallFailure::none && !ata.reply.arguments().isEmpty()
                    ? asMap(ata.reply.arguments().first())
                    : QVariantMap();
            // An interface counts only with its own properties: a drive without it has none of them.
            if (ataProperties.contains(QStringLiteral("SmartSupported"))) {
                sources << QStringLiteral("udisks2");
                readAta(ataProperties, health);
            } else if (ata.failure == CallFailure::timedOut || ata.failure == CallFailure::serviceMissing) {
                health.unavailableReason = failureReason(ata.failure);
            } else {
                // NVMe health appears with udisks 2.10; older releases have no such interface.
                const CallResult nvme = call(
                    *m_bus, propertiesCall(drivePath, QStringLiteral("GetAll"), {kNVMeInterface}), deadline);
                const QVariantMap controller =
                    nvme.failure == CallFailure::none && !nvme.reply.arguments().isEmpty()
                        ? asMap(nvme.reply.arguments().first())
                        : QVariantMap();
                if (controller.contains(QStringLiteral("SmartCriticalWarning"))) {
                    QDBusMessage attributesCall = QDBusMessage::createMethodCall(
                        kService, drivePath, kNVMeInterface, QStringLiteral("SmartGetAttributes"));
                    attributesCall << QVariant::fromValue(QVariantMap());
                    const CallResult attributes = call(*m_bus, attributesCall, deadline);
                    sources << QStringLiteral("udisks2");
                    readNVMe(controller,
                             attributes.failure == CallFailure::none &&
                                     !attributes.reply.arguments().isEmpty()
                                 ? asMap(attributes.reply.arguments().first())
                                 : QVariantMap(),
                             health);
                } else if (nvme.failure == CallFailure::timedOut) {
                    health.unavailableReason = failureReason(nvme.failure);
                } else {
                    health.unavailableReason =
                        deviceName.startsWith(u"nvme")
                            ? trText(
                                  "Bu udisks2 sürümü NVMe sağlık verisi sunmuyor (2.10 veya üstü gerekir).")
                            : trText("udisks2 bu disk için SMART verisi sunmuyor.");
                }
            }
        }
    }
    if (!health.temperatureCelsius) {
        health.temperatureCelsius = hwmonTemperature(deviceName);
        if (health.temperatureCelsius)
            sources << QStringLiteral("hwmon");
    }
    if (!sources.isEmpty())
        health.source = sources.join(u'+');
    return health;
}

} // namespace kestrum
