#pragma once

#include "DesktopEntryCatalog.h"
#include "culprits/ApplicationUsage.h"
#include "culprits/ForegroundApplication.h"
#include "foundation/Clocks.h"

#include <memory>
#include <string_view>
#include <sys/types.h>

namespace kestrum {

// What applications use, measured by the kernel: desktop launchers start each application in a systemd
// unit of its own under the user's app.slice (`app-<launcher>-<desktop id>-<n>.scope`,
// `app-<desktop id>@<n>.service`); its control group counts CPU time (cpu.stat usage_usec), memory
// (memory.current) and, where the io controller is delegated, disk bytes (io.stat). Where it is not
// (Debian's default delegates only cpu, memory and pids), disk bytes are summed over the unit's running
// processes (/proc/<pid>/io). Needs cgroup v2; a v1 or hybrid system reads as unavailable.
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

private:
    Roots m_roots;
    uid_t m_uid;
    std::shared_ptr<DesktopEntryCatalog> m_catalog;
    MonotonicClock m_clock;
};

} // namespace kestrum
