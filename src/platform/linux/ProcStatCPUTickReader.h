#pragma once

#include "measurement/StatsProviding.h"

#include <QString>

namespace kestrum {

// Per-core tick counters from /proc/stat and the load averages from /proc/loadavg.
// user = user; nice = nice; system = system + irq + softirq + steal; idle = idle + iowait.
class ProcStatCPUTickReader : public CPUTickReading {
public:
    explicit ProcStatCPUTickReader(QString procRoot = QStringLiteral("/proc"));
    std::optional<CPUTickSnapshot> read() override;

    // The `cpuN` lines in file order; the aggregate `cpu` line is skipped, malformed lines too.
    static std::vector<CPUTicks> parseStat(QByteArrayView text);
    // Up to the first three fields.
    static std::vector<double> parseLoadAverage(QByteArrayView text);

private:
    QString m_statPath;
    QString m_loadAveragePath;
};

} // namespace kestrum
