#include "ProcStatCPUTickReader.h"

#include "SysfsFiles.h"

#include <charconv>

namespace kestrum {

namespace {

// Splits on spaces without allocating.
template <class F> void forEachField(QByteArrayView line, F&& f) {
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype start = i;
        while (i < n && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start && !f(line.sliced(start, i - start)))
            return;
    }
}

bool parseUnsigned(QByteArrayView text, uint64_t& out) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

ProcStatCPUTickReader::ProcStatCPUTickReader(QString procRoot)
    : m_statPath(procRoot + QStringLiteral("/stat")),
      m_loadAveragePath(procRoot + QStringLiteral("/loadavg")) {}

std::vector<CPUTicks> ProcStatCPUTickReader::parseStat(QByteArrayView text) {
    std::vector<CPUTicks> cores;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(pos, end - pos);
        pos = end + 1;
        if (!line.startsWith("cpu"))
            continue;
        if (line.size() < 4 || line[3] < '0' || line[3] > '9')
            continue; // the aggregate line
        uint64_t values[8] = {};
        int count = 0;
        bool valid = true;
        forEachField(line, [&](QByteArrayView field) {
            if (count == 0) { // the label
                ++count;
                return true;
            }
            if (count > 8)
                return false;
            if (!parseUnsigned(field, values[count - 1])) {
                valid = false;
                return false;
            }
            ++count;
            return true;
        });
        if (!valid || count - 1 < 4)
            continue;
        // Fields: user nice system idle iowait irq softirq steal (guest time is already inside user).
        CPUTicks ticks;
        ticks.user = values[0];
        ticks.nice = values[1];
        ticks.system = values[2] + values[5] + values[6] + values[7];
        ticks.idle = values[3] + values[4];
        cores.push_back(ticks);
    }
    return cores;
}

std::vector<double> ProcStatCPUTickReader::parseLoadAverage(QByteArrayView text) {
    std::vector<double> values;
    forEachField(text.trimmed(), [&](QByteArrayView field) {
        double value = 0;
        const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (ec != std::errc() || ptr != field.data() + field.size())
            return false;
        values.push_back(value);
        return values.size() < 3;
    });
    return values;
}

std::optional<CPUTickSnapshot> ProcStatCPUTickReader::read() {
    // The cpu lines come first; the interrupt lines after them can be very long, so read only a prefix.
    const auto stat = sysfs::readFile(m_statPath, 512 * 1024);
    if (!stat)
        return std::nullopt;
    CPUTickSnapshot snapshot;
    snapshot.cores = parseStat(*stat);
    if (snapshot.cores.empty())
        return std::nullopt;
    if (const auto load = sysfs::readFile(m_loadAveragePath, 256))
        snapshot.loadAverage = parseLoadAverage(*load);
    return snapshot;
}

} // namespace kestrum
