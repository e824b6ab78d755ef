#pragma once

#include "DesktopEntryCatalog.h"
#include "culprits/ApplicationUsage.h"
#include "culprits/ForegroundApplication.h"
#include "foundation/Clocks.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kestrum {

// What applications use, measured by the kernel: desktop launchers start each application in a systemd
// unit of its own under the user's app.slice (`app-<launcher>-<desktop id>-<n>.scope`,
// `app-<desktop id>@<n>.service`); its control group counts CPU time (cpu.stat usage_usec), memory
// (memory.current) and, where the io controller is delegated, disk bytes (io.stat). Where it is not
// (Debian's default delegates only cpu, memory and pids), disk bytes are summed over the unit's running
// processes (/proc/<pid>/io). Needs cgroup v2; a v1 or hybrid system reads as unavailable.
//
// It is asked once per sample, and reading every unit's files each time costs more than the rest of the
// monitor together, so it spends a budget instead: counter files stay open and are re-read from offset 0,
// and a refresh (re-listing the slice when one of its folders changed or kRelistSeconds passed, the
// counters of every unit, and every kProcessIOSeconds the per-process disk bytes) is followed by a pause
// as long as its system calls are worth at kSystemCallsPerSecond, at least kMinimumRefreshSeconds. In
// between, the last reading is handed out again with the time it was read. The counters are cumulative:
// a slower refresh loses freshness, not usage. A few units refresh at every sample; 200 every ~35 s (2
// minutes after a refresh that also summed the per-process bytes).
class CgroupApplicationUsageReader : public ApplicationUsageReading {
public:
    struct Roots {
        QString cgroup = QStringLiteral("/sys/fs/cgroup");
        QString proc = QStringLiteral("/proc");
    };
    CgroupApplicationUsageReader(Roots roots, uid_t uid, std::shared_ptr<DesktopEntryCatalog> catalog,
                                 MonotonicClock clock = {});

    AppSliceReading read() const override;

    // The desktop id a unit was launched from ("app-gnome-firefox\x2desr-4242.scope" → "firefox-esr"),
    // none for names that do not follow the convention.
    static std::optional<QString> applicationIDOfUnit(const QString& unitName);
    // `\xNN` escapes undone (systemd's unit-name escaping).
    static QString unescapedUnitPart(QStringView part);
    static std::optional<uint64_t> cpuUsageMicroseconds(std::string_view cpuStat);
    // rbytes and wbytes summed over the devices listed.
    static std::pair<uint64_t, uint64_t> ioStatBytes(std::string_view ioStat);
    // read_bytes and write_bytes of /proc/<pid>/io.
    static std::optional<std::pair<uint64_t, uint64_t>> processIOBytes(std::string_view procIO);

    static constexpr double kMinimumRefreshSeconds = 1.5;
    static constexpr double kSystemCallsPerSecond = 12;
    static constexpr double kRelistSeconds = 60;
    static constexpr double kProcessIOSeconds = 60;
    // Open counter files kept at most; units beyond it are read by opening their files each time, so a
    // very busy slice cannot exhaust the process's descriptors.
    static constexpr int kMaximumKeptFiles = 512;

    ~CgroupApplicationUsageReader() override;

private:
    struct State; // the open files and what was last listed
    enum class Listing { listed, noCgroupV2, noSlice };
    Listing relist(State& state, double now) const;
    static void readProcessIO(State& state, size_t unit);

    Roots m_roots;
    uid_t m_uid;
    std::shared_ptr<DesktopEntryCatalog> m_catalog;
    MonotonicClock m_clock;
    mutable std::mutex m_mutex; // read() may be called from any thread
    std::unique_ptr<State> m_state;
};

} // namespace kestrum
