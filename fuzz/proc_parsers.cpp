// Every pure parser of /proc and /sys text on the same arbitrary bytes: processor ticks and load,
// memory, zram, sysfs integers, default routes (IPv4 and IPv6), resolver configuration, and the
// judgement of a thermal zone against trips taken from the bytes.

#include "FuzzSupport.h"
#include "LinuxNetworkPathProvider.h"
#include "LinuxThermalStatsProvider.h"
#include "ProcMeminfoMemorySnapshotReader.h"
#include "ProcStatCPUTickReader.h"
#include "SysfsFiles.h"

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    ProcStatCPUTickReader::parseStat(bytes);
    ProcStatCPUTickReader::parseLoadAverage(bytes);
    ProcMeminfoMemorySnapshotReader::parseMeminfo(bytes);
    ProcMeminfoMemorySnapshotReader::parseZramCompressedBytes(bytes);
    LinuxNetworkPathProvider::defaultRouteInterfacesV4(bytes);
    LinuxNetworkPathProvider::defaultRouteInterfacesV6(bytes);
    LinuxNetworkPathProvider::nameserverCount(bytes);

    // Lines as "type temperature" trips; the first line's number is the zone's temperature.
    std::vector<LinuxThermalStatsProvider::TripPoint> trips;
    std::optional<int64_t> zone;
    for (const QByteArray& line : bytes.split('\n')) {
        sysfs::parseInteger(line);
        const qsizetype space = line.lastIndexOf(' ');
        const auto value = sysfs::parseInteger(space < 0 ? line : line.mid(space + 1));
        if (!value)
            continue;
        if (!zone)
            zone = value;
        else
            trips.push_back({QString::fromUtf8(line.left(std::max<qsizetype>(space, 0))), *value});
    }
    if (zone)
        LinuxThermalStatsProvider::judgeZone(*zone, trips);
    return 0;
}
