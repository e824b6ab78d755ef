// The /sys readers on a tree written from arbitrary bytes: power supplies (the battery's power-source
// description and its parsed statistics) and the thermal signals. Input lines are "path=value"; paths
// are relative ("class/power_supply/BAT0/capacity"), the way scripts/fuzz writes the recorded machines as
// seeds. The tree lives in /dev/shm when it exists.

#include "FuzzSupport.h"
#include "LinuxThermalStatsProvider.h"
#include "SysfsPowerSupplyBatteryStatsProvider.h"
#include "measurement/BatteryStatsParser.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace kestrum;

namespace {

const QString& root() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/kestrum-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kestrum-fuzz-XXXXXX"));
    static const QString path = dir.path() + QStringLiteral("/sys");
    return path;
}

// A relative path of plain names, never leaving the tree.
bool isSafe(const QByteArray& path) {
    static const QRegularExpression component(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]{0,40}$"));
    const QList<QByteArray> parts = path.split('/');
    if (parts.size() > 6)
        return false;
    for (const QByteArray& part : parts) {
        if (part == ".." || !component.match(QString::fromLatin1(part)).hasMatch())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QDir(root()).removeRecursively();
    int files = 0;
    for (const QByteArray& line : fuzz::bytesOf(data, size).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || files >= 64)
            continue;
        const QByteArray path = line.left(equals);
        if (!isSafe(path))
            continue;
        const QString file = root() + u'/' + QString::fromLatin1(path);
        QDir().mkpath(file.left(file.lastIndexOf(u'/')));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out.write(line.mid(equals + 1) + '\n');
            ++files;
        }
    }
    if (const auto description = SysfsPowerSupplyBatteryStatsProvider::internalBatteryDescription(
            root() + QStringLiteral("/class/power_supply")))
        BatteryStatsParser::stats(*description);
    SysfsPowerSupplyBatteryStatsProvider(root()).sample();
    LinuxThermalStatsProvider thermal(root());
    thermal.sample();
    thermal.sample(); // the second reading compares throttle counters with the first
    return 0;
}
