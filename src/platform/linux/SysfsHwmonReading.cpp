#include "SysfsHwmonReading.h"

#include "SysfsFiles.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrum {

namespace {

// More than any record admits on one machine; past it something is odd, and the handles are let go.
constexpr qsizetype kMaximumOpen = 256;

} // namespace

SysfsHwmonReading::SysfsHwmonReading(QString sysRoot)
    : m_classFolder(sysRoot + QStringLiteral("/class/hwmon")) {}

SysfsHwmonReading::~SysfsHwmonReading() {
    closeAll();
}

void SysfsHwmonReading::closeAll() {
    for (const int fd : std::as_const(m_open))
        ::close(fd);
    m_open.clear();
}

QString SysfsHwmonReading::nameAt(const QString& folder) {
    const AdvancedHwmonRead name = readKept(folder + QStringLiteral("/name"));
    return name.bytes ? QString::fromUtf8(*name.bytes).trimmed() : QString();
}

std::vector<AdvancedHwmonDevice> SysfsHwmonReading::allDevices() {
    QStringList entries = sysfs::listDirectory(m_classFolder);
    sysfs::sortNumerically(entries);
    std::vector<AdvancedHwmonDevice> out;
    for (const QString& entry : entries) {
        if (!entry.startsWith(QStringLiteral("hwmon")))
            continue;
        const QString folder = m_classFolder + QLatin1Char('/') + entry;
        if (const QString name = nameAt(folder); !name.isEmpty()) {
            out.push_back({name, folder});
            continue;
        }
        const QString parent = folder + QStringLiteral("/device");
        if (const QString name = nameAt(parent); !name.isEmpty())
            out.push_back({name, parent});
    }
    return out;
}

std::vector<AdvancedHwmonDevice> SysfsHwmonReading::devices(const QString& name) {
    std::vector<AdvancedHwmonDevice> out;
    for (AdvancedHwmonDevice& device : allDevices()) {
        if (device.name == name)
            out.push_back(std::move(device));
    }
    return out;
}

std::set<QString> SysfsHwmonReading::deviceNames() {
    std::set<QString> names;
    for (const AdvancedHwmonDevice& device : allDevices())
        names.insert(device.name);
    return names;
}

AdvancedHwmonRead SysfsHwmonReading::read(const AdvancedHwmonDevice& device, const QString& attribute) {
    // Attribute names come from the records; a path component other than a plain name is never read.
    if (attribute.isEmpty() || attribute.contains(QStringLiteral("..")) ||
        attribute.startsWith(QLatin1Char('/')))
        return {std::nullopt, EINVAL};
    return readKept(device.path + QLatin1Char('/') + attribute);
}

AdvancedHwmonRead SysfsHwmonReading::readKept(const QString& path) {
    const std::lock_guard lock(m_mutex);
    auto it = m_open.find(path);
    if (it == m_open.end()) {
        if (m_open.size() >= kMaximumOpen)
            closeAll();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return {std::nullopt, errno};
        it = m_open.insert(path, fd);
    }
    char buffer[4096];
    ssize_t n;
    do {
        n = ::pread(it.value(), buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n >= 0 && n < ssize_t(sizeof buffer))
        return {QByteArray(buffer, qsizetype(n)), 0};
    // A vanished device, a recorded failure or a value longer than any attribute: the plain read
    // names the error (or takes the long value).
    ::close(it.value());
    m_open.erase(it);
    sysfs::ReadResult result = sysfs::readAttribute(path, 4096);
    return {std::move(result.bytes), result.error};
}

std::optional<AdvancedTelemetrySystemIdentity> readAdvancedTelemetryIdentity(const QString& procRoot,
                                                                             const QString& sysRoot) {
    const auto release = sysfs::readText(procRoot + QStringLiteral("/sys/kernel/osrelease"));
    if (!release)
        return std::nullopt;
    SysfsHwmonReading hwmon(sysRoot);
    return AdvancedTelemetrySystemIdentity::make(hwmon.deviceNames(), *release);
}

} // namespace kestrum
