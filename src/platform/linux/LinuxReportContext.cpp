#include "LinuxReportContext.h"

#include <QFile>
#include <QSysInfo>
#include <pwd.h>
#include <unistd.h>

namespace kestrum::LinuxReportContext {

QStringList machineNames() {
    QStringList names;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name)
        names << QString::fromLocal8Bit(entry->pw_name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            names << value;
    }
    names << QSysInfo::machineHostName();
    // The firmware's serials, where this user may read them (usually root only).
    for (const char* file : {"product_serial", "board_serial", "chassis_serial", "product_uuid"}) {
        QFile serial(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(file));
        if (serial.open(QIODevice::ReadOnly)) {
            const QString value = QString::fromUtf8(serial.read(256)).trimmed();
            if (value.size() < 4)
                continue;
            // Placeholders ("To be filled by O.E.M.", "None", "0000") identify nothing.
            const bool placeholder = value.contains(u' ') ||
                                     value.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0 ||
                                     value.count(value.front()) == value.size();
            if (!placeholder)
                names << value;
        }
    }
    return names;
}

QString operatingSystemVersion() {
    const QString product = QSysInfo::prettyProductName().trimmed();
    const QString kernel = QSysInfo::kernelVersion().trimmed();
    if (kernel.isEmpty())
        return product;
    const QString kernelText = QStringLiteral("Linux ") + kernel;
    return product.isEmpty() ? kernelText : product + QStringLiteral(" · ") + kernelText;
}

} // namespace kestrum::LinuxReportContext
