#include "CgroupApplicationUsageReader.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace kestrum {
namespace {

constexpr uid_t kUser = 1000;
const QString kSlice =
    QStringLiteral("/sys/fs/cgroup/user.slice/user-1000.slice/user@1000.service/app.slice");

struct Tree {
    QString root;
    double now = 100;

    CgroupApplicationUsageReader reader() {
        auto catalog =
            std::make_shared<DesktopEntryCatalog>(QStringList{root + QStringLiteral("/applications")});
        return CgroupApplicationUsageReader(
            {root + QStringLiteral("/sys/fs/cgroup"), root + QStringLiteral("/proc")}, kUser, catalog,
            [this] { return now; });
    }
    QString unit(const QString& name) const { return root + kSlice + u'/' + name; }
};

std::vector<AppUnitReading> sortedUnits(AppSliceReading reading) {
    std::sort(reading.units.begin(), reading.units.end(),
              [](const AppUnitReading& a, const AppUnitReading& b) { return a.unitName < b.unitName; });
    return reading.units;
}

constexpr uint64_t MiB = 1024 * 1024;

TEST(CgroupApplicationUsageReader, RecordedSliceWithoutDelegatedIO) {
    Tree tree{test::fixture(QStringLiteral("cgroup/app-slice"))};
    const AppSliceReading reading = tree.reader().read();
    ASSERT_TRUE(reading.availability.isAvailable());
    EXPECT_EQ(reading.monotonicSeconds, 100);
    EXPECT_EQ(reading.diskSource, DiskUsageSource::runningProcesses);
    const std::vector<AppUnitReading> expected = {
        {QStringLiteral("app-flatpak-org.gimp.GIMP-7700.scope"), QStringLiteral("org.gimp.GIMP"),
         QStringLiteral("org.gimp.GIMP"), 3000000, 200 * MiB, 0, 0},
        {QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)"), QStringLiteral("firefox-esr"),
         QStringLiteral("Firefox ESR"), 12500000, 500 * MiB, 1048576 + 4096, 2097152},
        {QStringLiteral(R"(app-gnome-firefox\x2desr-5151.scope)"), QStringLiteral("firefox-esr"),
         QStringLiteral("Firefox ESR"), 2500000, 100 * MiB, 8192, 16384},
        {QStringLiteral("app-org.gnome.Terminal-8100.scope"), QStringLiteral("org.gnome.Terminal"),
         QStringLiteral("org.gnome.Terminal"), 400000, 20 * MiB, 100, 200},
        // Process 9999 exited between the listing and the read: it adds nothing.
        {QStringLiteral("app-org.kde.konsole@0a1b2c3d.service"), QStringLiteral("org.kde.konsole"),
         QStringLiteral("Konsole"), 800000, 40 * MiB, 512, 1024},
    };
    EXPECT_EQ(sortedUnits(reading), expected);
}

TEST(CgroupApplicationUsageReader, DelegatedIOIsTakenFromTheUnit) {
    const auto copy = test::copyFixture(QStringLiteral("cgroup/app-slice"));
    Tree tree{copy->path()};
    test::writeFile(tree.unit(QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)")) + "/io.stat",
                    "259:0 rbytes=1000 wbytes=2000 rios=3 wios=4 dbytes=0 dios=0\n"
                    "8:0 rbytes=10 wbytes=20 rios=1 wios=1 dbytes=0 dios=0\n");
    // A device line without byte counts (the kernel lists a device once it was touched at all).
    test::writeFile(tree.unit(QStringLiteral("app-org.kde.konsole@0a1b2c3d.service")) + "/io.stat",
                    "259:0 rios=3 wios=4\n");
    const auto units = sortedUnits(tree.reader().read());
    EXPECT_EQ(tree.reader().read().diskSource, DiskUsageSource::unitTotals);
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(units[1].diskReadBytes, 1010u);
    EXPECT_EQ(units[1].diskWrittenBytes, 2020u);
    EXPECT_EQ(units[4].diskReadBytes, 0u);
    EXPECT_EQ(units[4].diskWrittenBytes, 0u);
}

TEST(CgroupApplicationUsageReader, UnavailableWithAReason) {
    QTemporaryDir v1;
    // A cgroup v1 (or hybrid) mount has no cgroup.controllers at its root.
    QDir(v1.path()).mkpath(QStringLiteral("sys/fs/cgroup/cpu,cpuacct"));
    Tree legacy{v1.path()};
    const AppSliceReading onV1 = legacy.reader().read();
    EXPECT_FALSE(onV1.availability.isAvailable());
    EXPECT_TRUE(onV1.availability.reason.contains(QStringLiteral("cgroup v2")))
        << onV1.availability.reason.toStdString();
    EXPECT_TRUE(onV1.units.empty());

    // cgroup v2, but this user's manager has no app.slice (a session without systemd --user).
    Tree other{test::fixture(QStringLiteral("cgroup/app-slice"))};
    auto catalog = std::make_shared<DesktopEntryCatalog>(QStringList{});
    const AppSliceReading noSlice =
        CgroupApplicationUsageReader(
            {other.root + QStringLiteral("/sys/fs/cgroup"), other.root + QStringLiteral("/proc")}, 1001,
            catalog)
            .read();
    EXPECT_FALSE(noSlice.availability.isAvailable());
    EXPECT_TRUE(noSlice.availability.reason.contains(QStringLiteral("app.slice")));

    Tree missing{QStringLiteral("/nonexistent/kestrum")};
    EXPECT_FALSE(missing.reader().read().availability.isAvailable());
}

TEST(CgroupApplicationUsageReader, UnitNames) {
    const struct {
        const char* unit;
        std::optional<QString> id;
    } cases[] = {
        {R"(app-gnome-firefox\x2desr-4242.scope)", QStringLiteral("firefox-esr")},
        {"app-org.gnome.Nautilus-1234.scope", QStringLiteral("org.gnome.Nautilus")},
        {"app-flatpak-org.gimp.GIMP-7700.scope", QStringLiteral("org.gimp.GIMP")},
        {"app-org.kde.konsole@0a1b2c3d.service", QStringLiteral("org.kde.konsole")},
        {"app-gnome-org.gnome.Calculator@12.service", QStringLiteral("org.gnome.Calculator")},
        {"app-KDE-org.kde.dolphin.desktop-99.scope", QStringLiteral("org.kde.dolphin")},
        {R"(app-gnome-caf\xc3\xa9-1.scope)", QStringLiteral("café")},
        {"dbus-broker.service", std::nullopt},
        {"app-.scope", std::nullopt},
        {"app-firefox-.scope", std::nullopt},
        {"app-a-b-c-d-1.scope", std::nullopt},
        {"app-gnome-firefox-1.slice", std::nullopt},
        {"snap.firefox.firefox.1234.scope", std::nullopt},
        {R"(app-gnome-\x20-1.scope)", std::nullopt},
        {R"(app-gnome-\x-1.scope)", QStringLiteral(R"(\x)")},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CgroupApplicationUsageReader::applicationIDOfUnit(QString::fromUtf8(c.unit)), c.id)
            << c.unit;
    // A hostile launcher's id is cut and cleaned of control characters.
    const QString hostile =
        QStringLiteral("app-gnome-") + QString(400, u'x') + QStringLiteral(R"(\x07\x1b[31m-1.scope)");
    const auto id = CgroupApplicationUsageReader::applicationIDOfUnit(hostile);
    ASSERT_TRUE(id);
    EXPECT_LE(id->size(), ForegroundApplication::kMaximumIdentifierLength);
    EXPECT_FALSE(id->contains(QChar(0x1b)));
    EXPECT_FALSE(id->contains(QChar(0x07)));
}

TEST(CgroupApplicationUsageReader, CounterFiles) {
    EXPECT_EQ(CgroupApplicationUsageReader::cpuUsageMicroseconds("usage_usec 42\nuser_usec 40\n"), 42u);
    EXPECT_EQ(CgroupApplicationUsageReader::cpuUsageMicroseconds("user_usec 40\nusage_usec 7"), 7u);
    EXPECT_FALSE(CgroupApplicationUsageReader::cpuUsageMicroseconds("usage_usecs 42\n"));
    EXPECT_FALSE(CgroupApplicationUsageReader::cpuUsageMicroseconds("usage_usec -4\n"));
    EXPECT_FALSE(CgroupApplicationUsageReader::cpuUsageMicroseconds(""));
    EXPECT_EQ(CgroupApplicationUsageReader::ioStatBytes(""), (std::pair<uint64_t, uint64_t>{0, 0}));
    EXPECT_EQ(CgroupApplicationUsageReader::ioStatBytes("8:0 rbytes=5 wbytes=x\n8:16 wbytes=3"),
              (std::pair<uint64_t, uint64_t>{5, 3}));
    EXPECT_EQ(CgroupApplicationUsageReader::processIOBytes("read_bytes: 1\nwrite_bytes: 2\n"),
              (std::pair<uint64_t, uint64_t>{1, 2}));
    EXPECT_FALSE(CgroupApplicationUsageReader::processIOBytes("read_bytes: 1\n"));
    EXPECT_FALSE(CgroupApplicationUsageReader::processIOBytes("rchar: 1\nwchar: 2\n"));
}

// Successive readings of a changing slice: scopes appear and vanish, a unit name comes back as a new
// instance with a smaller counter.
TEST(ApplicationUsageAccounting, AcrossReadingsOfAChangingSlice) {
    const auto copy = test::copyFixture(QStringLiteral("cgroup/app-slice"));
    Tree tree{copy->path()};
    const QString firefox = tree.unit(QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)"));
    const QString secondFirefox = tree.unit(QStringLiteral(R"(app-gnome-firefox\x2desr-5151.scope)"));
    const QString konsole = tree.unit(QStringLiteral("app-org.kde.konsole@0a1b2c3d.service"));
    ApplicationUsageAccounting accounting;
    const auto find = [](const ApplicationUsageReport& report, const char* id) -> const ApplicationUsage* {
        for (const ApplicationUsage& a : report.applications) {
            if (a.applicationID == QLatin1String(id))
                return &a;
        }
        return nullptr;
    };

    ApplicationUsageReport first = accounting.update(tree.reader().read());
    ASSERT_TRUE(first.availability.isAvailable());
    QStringList order;
    for (const ApplicationUsage& a : first.applications)
        order.append(a.applicationID);
    EXPECT_EQ(order, (QStringList{QStringLiteral("firefox-esr"), QStringLiteral("org.gimp.GIMP"),
                                  QStringLiteral("org.kde.konsole"), QStringLiteral("org.gnome.Terminal")}));
    const ApplicationUsage* browser = find(first, "firefox-esr");
    EXPECT_EQ(browser->unitCount, 2);
    EXPECT_DOUBLE_EQ(browser->cpuTimeSeconds.value_or(-1), 15.0);
    EXPECT_EQ(browser->memoryBytes, 600 * MiB);
    EXPECT_FALSE(browser->recentCPUCores) << "no earlier reading to compare with";

    // Two seconds later: the first Firefox used one core, the second one exited, Konsole was restarted
    // under the same unit name (its counter starts again), a new editor appeared.
    tree.now += 2;
    test::writeFile(firefox + "/cpu.stat", "usage_usec 14500000\n");
    QDir(secondFirefox).removeRecursively();
    test::writeFile(konsole + "/cpu.stat", "usage_usec 100000\n");
    const QString editor = tree.unit(QStringLiteral("app-gnome-org.gnome.TextEditor-9000.scope"));
    QDir().mkpath(editor);
    test::writeFile(editor + "/cpu.stat", "usage_usec 50000\n");
    // memory.current unreadable (the scope is being torn down): absent, not zero.
    ApplicationUsageReport second = accounting.update(tree.reader().read());
    browser = find(second, "firefox-esr");
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->unitCount, 1);
    EXPECT_DOUBLE_EQ(browser->cpuTimeSeconds.value_or(-1), 14.5);
    EXPECT_NEAR(browser->recentCPUCores.value_or(-1), 1.0, 1e-9);
    EXPECT_FALSE(find(second, "org.kde.konsole")->recentCPUCores) << "a counter that went down is a new unit";
    const ApplicationUsage* textEditor = find(second, "org.gnome.TextEditor");
    ASSERT_TRUE(textEditor);
    EXPECT_FALSE(textEditor->recentCPUCores);
    EXPECT_FALSE(textEditor->memoryBytes);
    EXPECT_FALSE(textEditor->diskReadBytes);
    EXPECT_NEAR(find(second, "org.gimp.GIMP")->recentCPUCores.value_or(-1), 0.0, 1e-9)
        << "idle is a measured zero";

    // The clock did not move (a reader handing out its last reading again): the same report, rates kept,
    // rather than a division by zero or rates that blink out between refreshes.
    const ApplicationUsageReport third = accounting.update(tree.reader().read());
    EXPECT_EQ(third, second);

    // The slice goes away (the user's manager restarted without it): unavailable, and forgotten, so a
    // later reading does not compare against counters from before.
    const ApplicationUsageReport gone =
        accounting.update({MetricAvailability::unavailable(QStringLiteral("x")), tree.now + 1, {}, {}});
    EXPECT_FALSE(gone.availability.isAvailable());
    EXPECT_TRUE(gone.applications.empty());
    tree.now += 4;
    EXPECT_FALSE(find(accounting.update(tree.reader().read()), "firefox-esr")->recentCPUCores);
}

using CPUByUnit = std::map<QString, std::optional<uint64_t>>;

CPUByUnit cpuByUnit(const AppSliceReading& reading) {
    CPUByUnit result;
    for (const AppUnitReading& unit : reading.units)
        result[unit.unitName] = unit.cpuUsageMicroseconds;
    return result;
}

const AppUnitReading* unitNamed(const AppSliceReading& reading, const QString& name) {
    for (const AppUnitReading& unit : reading.units) {
        if (unit.unitName == name)
            return &unit;
    }
    return nullptr;
}

const QString kFirefox = QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)");
const QString kSecondFirefox = QStringLiteral(R"(app-gnome-firefox\x2desr-5151.scope)");
const QString kGimp = QStringLiteral("app-flatpak-org.gimp.GIMP-7700.scope");
const QString kTerminal = QStringLiteral("app-org.gnome.Terminal-8100.scope");
const QString kKonsole = QStringLiteral("app-org.kde.konsole@0a1b2c3d.service");
const QString kEditor = QStringLiteral("app-gnome-org.gnome.TextEditor-9000.scope");
const QString kLateEditor = QStringLiteral("app-gnome-org.gnome.TextEditor-9001.scope");

// One reader kept across a changing slice: the files it holds open must follow what the folders hold now,
// never what a removed control group held.
TEST(CgroupApplicationUsageReader, OneReaderAcrossAChangingSlice) {
    const auto copy = test::copyFixture(QStringLiteral("cgroup/app-slice"));
    Tree tree{copy->path()};
    const CgroupApplicationUsageReader reader = tree.reader();
    const CPUByUnit initial = {{kGimp, 3000000},
                               {kFirefox, 12500000},
                               {kSecondFirefox, 2500000},
                               {kTerminal, 400000},
                               {kKonsole, 800000}};
    ASSERT_EQ(cpuByUnit(reader.read()), initial);

    const auto with = [](CPUByUnit map, const QString& unit, std::optional<uint64_t> cpu) {
        map[unit] = cpu;
        return map;
    };
    const auto without = [](CPUByUnit map, const QString& unit) {
        map.erase(unit);
        return map;
    };
    const struct {
        const char* what;
        std::function<void(Tree&)> change;
        CPUByUnit expected;
    } steps[] = {
        {"a counter grows in place",
         [](Tree& t) { test::writeFile(t.unit(kFirefox) + "/cpu.stat", "usage_usec 13000000\n"); },
         with(initial, kFirefox, 13000000)},
        {"a unit's counter starts again (a restarted service keeps its name and folder)",
         [](Tree& t) { test::writeFile(t.unit(kKonsole) + "/cpu.stat", "usage_usec 5\n"); },
         with(with(initial, kFirefox, 13000000), kKonsole, 5)},
        {"a scope vanishes", [](Tree& t) { QDir(t.unit(kSecondFirefox)).removeRecursively(); },
         without(with(with(initial, kFirefox, 13000000), kKonsole, 5), kSecondFirefox)},
        {"a new scope takes a removed one's name: its own numbers, not the old open file's",
         [](Tree& t) {
             QDir(t.unit(kFirefox)).removeRecursively();
             test::writeFile(t.unit(kFirefox) + "/cpu.stat", "usage_usec 7\n");
         },
         without(with(with(initial, kFirefox, 7), kKonsole, 5), kSecondFirefox)},
        {"a scope appears, and one in a nested slice vanishes",
         [](Tree& t) {
             test::writeFile(t.unit(kEditor) + "/cpu.stat", "usage_usec 50000\n");
             QDir(t.root + kSlice + QStringLiteral("/app-org.gnome.Terminal.slice/") + kTerminal)
                 .removeRecursively();
         },
         without(without(with(with(with(initial, kFirefox, 7), kKonsole, 5), kEditor, 50000), kSecondFirefox),
                 kTerminal)},
        {"a scope appears before its counter can be read: absent, not zero, and the others still read",
         [](Tree& t) { test::writeFile(t.unit(kLateEditor) + "/memory.current", "4096\n"); },
         without(without(with(with(with(with(initial, kFirefox, 7), kKonsole, 5), kEditor, 50000),
                              kLateEditor, std::nullopt),
                         kSecondFirefox),
                 kTerminal)},
    };
    for (const auto& step : steps) {
        step.change(tree);
        tree.now += 10; // past any pause a slice this small earns
        EXPECT_EQ(cpuByUnit(reader.read()), step.expected) << step.what;
    }

    // The slice goes away, then comes back.
    const QString slice = tree.root + kSlice;
    QDir().rename(slice, slice + QStringLiteral(".away"));
    tree.now += 10;
    const AppSliceReading gone = reader.read();
    EXPECT_FALSE(gone.availability.isAvailable());
    EXPECT_TRUE(gone.availability.reason.contains(QStringLiteral("app.slice")));
    EXPECT_TRUE(gone.units.empty());
    QDir().rename(slice + QStringLiteral(".away"), slice);
    tree.now += 10;
    EXPECT_EQ(cpuByUnit(reader.read()), steps[std::size(steps) - 1].expected);
}

// The per-process disk bytes are summed at a slower pace than the counters; processes that exit meanwhile
// take their bytes with them, and a unit with none left readable has no figure rather than zero.
TEST(CgroupApplicationUsageReader, ProcessDiskBytesAtTheirOwnPace) {
    const auto copy = test::copyFixture(QStringLiteral("cgroup/app-slice"));
    Tree tree{copy->path()};
    const CgroupApplicationUsageReader reader = tree.reader();
    const AppSliceReading first = reader.read();
    ASSERT_EQ(unitNamed(first, kFirefox)->diskReadBytes, 1048576u + 4096);

    QDir(tree.root + QStringLiteral("/proc/4250")).removeRecursively();
    test::writeFile(tree.root + QStringLiteral("/proc/4242/io"),
                    "read_bytes: 2000000\nwrite_bytes: 3000000\n");
    QDir(tree.root + QStringLiteral("/proc/5151")).removeRecursively();
    test::writeFile(tree.unit(kFirefox) + "/cpu.stat", "usage_usec 13000000\n");
    const struct {
        double after;
        std::optional<uint64_t> firefoxCPU, firefoxRead, secondFirefoxRead;
    } cases[] = {
        // Counters refreshed, disk bytes kept from the last sum: cumulative, so only less fresh.
        {10, 13000000, 1048576 + 4096, 8192},
        {CgroupApplicationUsageReader::kProcessIOSeconds, 13000000, 2000000, std::nullopt},
    };
    for (const auto& c : cases) {
        tree.now += c.after;
        const AppSliceReading reading = reader.read();
        SCOPED_TRACE(c.after);
        EXPECT_EQ(unitNamed(reading, kFirefox)->cpuUsageMicroseconds, c.firefoxCPU);
        EXPECT_EQ(unitNamed(reading, kFirefox)->diskReadBytes, c.firefoxRead);
        EXPECT_EQ(unitNamed(reading, kSecondFirefox)->diskReadBytes, c.secondFirefoxRead);
        EXPECT_EQ(unitNamed(reading, kSecondFirefox)->diskWrittenBytes,
                  c.secondFirefoxRead ? 16384 : c.secondFirefoxRead);
    }
}

// A large slice: more units than files the reader keeps open, and a refresh that earns a pause during which
// the last reading stands with the time it was read.
TEST(CgroupApplicationUsageReader, LargeSliceWithinItsBudget) {
    QTemporaryDir root;
    Tree tree{root.path()};
    test::writeFile(tree.root + QStringLiteral("/sys/fs/cgroup/cgroup.controllers"), "cpu memory pids\n");
    const int units = CgroupApplicationUsageReader::kMaximumKeptFiles / 3 + 20;
    const auto unitName = [](int i) {
        return QStringLiteral("app-gnome-org.example.App%1-%2.scope").arg(i % 7).arg(i);
    };
    const auto setCounters = [&](uint64_t base) {
        for (int i = 0; i < units; ++i)
            test::writeFile(tree.unit(unitName(i)) + "/cpu.stat",
                            "usage_usec " + QByteArray::number(qulonglong(base + i)) + "\n");
    };
    setCounters(1000);
    const CgroupApplicationUsageReader reader = tree.reader();
    const auto everyUnitAt = [&](const AppSliceReading& reading, uint64_t base) {
        if (reading.units.size() != size_t(units))
            return false;
        for (int i = 0; i < units; ++i) {
            const AppUnitReading* unit = unitNamed(reading, unitName(i));
            if (!unit || unit->cpuUsageMicroseconds != base + i || unit->memoryBytes)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(everyUnitAt(reader.read(), 1000));

    setCounters(5000);
    const double start = tree.now;
    const struct {
        double at;
        double readAt;
        uint64_t base;
    } cases[] = {
        {start + 2, start, 1000},         // the pause after a large refresh
        {start + 120, start + 120, 5000}, // every unit, kept open or not
        {start + 120 + CgroupApplicationUsageReader::kMinimumRefreshSeconds, start + 120, 5000},
    };
    for (const auto& c : cases) {
        tree.now = c.at;
        const AppSliceReading reading = reader.read();
        EXPECT_EQ(reading.monotonicSeconds, c.readAt) << c.at;
        EXPECT_TRUE(everyUnitAt(reading, c.base)) << c.at;
    }
    // A clock that went back refreshes at once.
    setCounters(9000);
    tree.now = start;
    EXPECT_TRUE(everyUnitAt(reader.read(), 9000));
}

} // namespace
} // namespace kestrum
