#include "FanHelperFanControlling.h"

#include "FanHelperLogging.h"
#include "advanced/AdvancedTelemetrySystemIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFanHelper, "kestrum.fan-helper", QtInfoMsg)

namespace kestrum {

namespace {

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // readAll: procfs and sysfs files report a size of 0.
    return file.readAll();
}

std::optional<double> parseNumber(const QByteArray& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The value after "key:" on the line that starts with it.
std::optional<QByteArray> field(const QByteArray& text, QByteArrayView key) {
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(key) && line.size() > key.size() && line.at(key.size()) == ':')
            return line.mid(key.size() + 1).trimmed();
    }
    return std::nullopt;
}

QString thinkpadFanPath(const QString& procRoot) {
    return procRoot + QStringLiteral("/acpi/ibm/fan");
}

QString appleSmcDirectory(const QString& sysRoot) {
    return sysRoot + QStringLiteral("/devices/platform/applesmc.768");
}

} // namespace

FanHelperFileWriter fanHelperKernelFileWriter() {
    return [](const QString& path, const QByteArray& value) {
        // No O_CREAT: a kernel attribute that is not there is a failure, never a new file.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) {
            qCWarning(lcFanHelper) << "cannot open" << path << "for writing:" << strerror(errno);
            return false;
        }
        // One write per command: the drivers parse each write as a whole.
        const ssize_t written = ::write(fd, value.constData(), size_t(value.size()));
        const int writeError = errno;
        ::close(fd);
        if (written != ssize_t(value.size())) {
            qCWarning(lcFanHelper) << "writing" << value.trimmed() << "to" << path
                                   << "failed:" << strerror(written < 0 ? writeError : EIO);
            return false;
        }
        return true;
    };
}

// MARK: ThinkPad

ProcAcpiThinkpadFanController::ProcAcpiThinkpadFanController(QString procRoot, FanHelperFileWriter writer)
    : m_path(thinkpadFanPath(procRoot)), m_write(std::move(writer)) {}

bool ProcAcpiThinkpadFanController::isPresent(const QString& procRoot) {
    return QFileInfo(thinkpadFanPath(procRoot)).isFile();
}

bool ProcAcpiThinkpadFanController::offersControl(const QString& procRoot) {
    const auto text = readSmallFile(thinkpadFanPath(procRoot));
    if (!text)
        return false;
    bool level = false;
    bool watchdog = false;
    for (const QByteArray& line : text->split('\n')) {
        if (!line.startsWith("commands:"))
            continue;
        const QByteArray command = line.mid(int(qstrlen("commands:"))).trimmed();
        level = level || command.startsWith("level ");
        watchdog = watchdog || command.startsWith("watchdog ");
    }
    return level && watchdog;
}

std::optional<AdvancedFanTelemetryReading> ProcAcpiThinkpadFanController::parse(const QByteArray& text) {
    const auto speed = field(text, "speed");
    const auto level = field(text, "level");
    const auto rpm = speed ? parseNumber(*speed) : std::nullopt;
    if (!rpm || *rpm < 0 || !level || level->isEmpty())
        return std::nullopt;
    AdvancedFanTelemetryReading reading;
    reading.index = 0;
    reading.actualRPM = *rpm;
    reading.isManual = *level != "auto";
    return reading;
}

int ProcAcpiThinkpadFanController::watchdogSeconds(double leaseSeconds) {
    const double seconds = std::ceil(leaseSeconds) + 1;
    if (!(seconds >= 1))
        return 1;
    return seconds > 120 ? 120 : int(seconds);
}

std::optional<AdvancedFanTelemetryReading> ProcAcpiThinkpadFanController::reading(int index) const {
    if (index != 0)
        return std::nullopt;
    const auto text = readSmallFile(m_path);
    return text ? parse(*text) : std::nullopt;
}

bool ProcAcpiThinkpadFanController::boost(AdvancedFanBoostProfile profile, double leaseSeconds) {
    // The watchdog first: should the helper die between the two writes, the firmware still takes the
    // fan back. Every accepted command re-arms it.
    // Level 7 is the highest the firmware still regulates; "full-speed" (disengaged) may run the fan
    // past its rated speed and is never used.
    const QByteArray level = profile == AdvancedFanBoostProfile::maximumSafe ? "level 7\n" : "level 5\n";
    return m_write(m_path, "watchdog " + QByteArray::number(watchdogSeconds(leaseSeconds)) + '\n') &&
           m_write(m_path, level);
}

bool ProcAcpiThinkpadFanController::renew(AdvancedFanBoostProfile profile, double leaseSeconds) {
    // The level again too, so that a fan the firmware took back is not reported as boosting.
    return boost(profile, leaseSeconds);
}

bool ProcAcpiThinkpadFanController::restoreAutomatic() {
    // The watchdog stays armed unless the fan is back on automatic: it is the last safety net.
    return m_write(m_path, "level auto\n") && m_write(m_path, "watchdog 0\n");
}

// MARK: applesmc

SysfsAppleSmcFanController::SysfsAppleSmcFanController(QString sysRoot, FanHelperFileWriter writer)
    : m_directory(appleSmcDirectory(sysRoot)), m_write(std::move(writer)) {
    // Fans are numbered from 1 without gaps; each needs the files the helper reads and writes.
    while (m_fanCount < 16) {
        const int fan = m_fanCount + 1;
        bool complete = true;
        for (const char* name : {"input", "manual", "output", "min", "max"})
            complete = complete && QFileInfo::exists(attribute(fan, name));
        if (!complete)
            break;
        ++m_fanCount;
    }
}

bool SysfsAppleSmcFanController::isPresent(const QString& sysRoot) {
    return SysfsAppleSmcFanController(sysRoot).fanCount() > 0;
}

QString SysfsAppleSmcFanController::attribute(int fan, const char* name) const {
    return QStringLiteral("%1/fan%2_%3").arg(m_directory).arg(fan).arg(QLatin1String(name));
}

std::optional<double> SysfsAppleSmcFanController::number(int fan, const char* name) const {
    const auto text = readSmallFile(attribute(fan, name));
    return text ? parseNumber(*text) : std::nullopt;
}

std::optional<AdvancedFanTelemetryReading> SysfsAppleSmcFanController::reading(int index) const {
    if (index < 0 || index >= m_fanCount)
        return std::nullopt;
    const int fan = index + 1;
    const auto actual = number(fan, "input");
    const auto manual = number(fan, "manual");
    if (!actual || *actual < 0 || !manual)
        return std::nullopt;
    AdvancedFanTelemetryReading reading;
    reading.index = index;
    reading.actualRPM = *actual;
    const auto nonNegative = [](std::optional<double> value) {
        return value && *value >= 0 ? value : std::nullopt;
    };
    reading.targetRPM = nonNegative(number(fan, "output"));
    reading.minimumRPM = nonNegative(number(fan, "min"));
    reading.maximumRPM = nonNegative(number(fan, "max"));
    reading.isManual = *manual != 0;
    return reading;
}

bool SysfsAppleSmcFanController::boost(AdvancedFanBoostProfile profile, double) {
    for (int fan = 1; fan <= m_fanCount; ++fan) {
        const auto minimum = number(fan, "min");
        const auto maximum = number(fan, "max");
        if (!minimum || !maximum || *maximum <= 0 || *maximum < *minimum) {
            qCWarning(lcFanHelper) << "applesmc fan" << fan << "has no usable speed range";
            return false;
        }
        const double target = profile == AdvancedFanBoostProfile::maximumSafe
                                  ? *maximum
                                  : std::round((*minimum + *maximum) / 2);
        // The target before manual mode, so the fan goes straight to it.
        if (!m_write(attribute(fan, "output"), QByteArray::number(qint64(target)) + '\n') ||
            !m_write(attribute(fan, "manual"), "1\n"))
            return false;
    }
    return m_fanCount > 0;
}

bool SysfsAppleSmcFanController::renew(AdvancedFanBoostProfile, double) {
    // The lease lives in the helper's timer; the fans stay where they are.
    return m_fanCount > 0;
}

bool SysfsAppleSmcFanController::restoreAutomatic() {
    bool all = m_fanCount > 0;
    for (int fan = 1; fan <= m_fanCount; ++fan)
        all = m_write(attribute(fan, "manual"), "0\n") && all;
    return all;
}

// MARK: Detection

FanHelperHardware detectFanHelperHardware(const QString& procRoot, const QString& sysRoot,
                                          const QString& kernelRelease,
                                          const std::vector<AdvancedFanCompatibilityRecord>& records,
                                          const FanHelperFileWriter& writer) {
    const auto series = KernelSeries::parse(kernelRelease);
    const auto released = [&](const QString& driver) {
        return series && std::any_of(records.begin(), records.end(), [&](const auto& record) {
                   return record.isControlEnabledInCurrentBuild && record.key.modelIdentifier == driver &&
                          record.key.kernelMajorVersions.contains(series->major) &&
                          !record.key.kernelSeries.isEmpty() && record.key.kernelSeries.contains(*series);
               });
    };
    const auto unreleased = [&](const QString& driver) {
        return FanHelperHardware{
            nullptr,
            QStringLiteral("%1 fan control is not released for kernel %2").arg(driver, kernelRelease)};
    };
    if (ProcAcpiThinkpadFanController::isPresent(procRoot)) {
        if (!ProcAcpiThinkpadFanController::offersControl(procRoot))
            return {nullptr, QStringLiteral("thinkpad_acpi offers no fan control or watchdog "
                                            "(load it with fan_control=1)")};
        if (!released(QStringLiteral("thinkpad")))
            return unreleased(QStringLiteral("thinkpad"));
        return {std::make_unique<ProcAcpiThinkpadFanController>(procRoot, writer), {}};
    }
    if (SysfsAppleSmcFanController::isPresent(sysRoot)) {
        if (!released(QStringLiteral("applesmc")))
            return unreleased(QStringLiteral("applesmc"));
        return {std::make_unique<SysfsAppleSmcFanController>(sysRoot, writer), {}};
    }
    return {nullptr, QStringLiteral("no thinkpad_acpi or applesmc fan interface is present")};
}

} // namespace kestrum
