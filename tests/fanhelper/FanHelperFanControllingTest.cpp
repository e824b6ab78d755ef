#include "FanHelperFanControlling.h"

#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::copyFixture;
using kestrum::test::readFile;
using kestrum::test::writeFile;

namespace {

using Writes = std::vector<std::pair<QString, QByteArray>>;

// The kernel writer, recording each write relative to the tree's root.
FanHelperFileWriter recordingWriter(const QString& root, Writes& writes) {
    return
        [root, &writes, write = fanHelperKernelFileWriter()](const QString& path, const QByteArray& value) {
            writes.emplace_back(QDir(root).relativeFilePath(path), value);
            return write(path, value);
        };
}

// Every file of a tree with its content, to show that nothing beyond the expected file changed.
std::map<QString, QByteArray> snapshot(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(root).relativeFilePath(path)] = readFile(path);
    }
    return files;
}

std::vector<QString> changedFiles(const std::map<QString, QByteArray>& before,
                                  const std::map<QString, QByteArray>& after) {
    std::vector<QString> changed;
    for (const auto& [path, content] : after) {
        const auto old = before.find(path);
        if (old == before.end() || old->second != content)
            changed.push_back(path);
    }
    return changed;
}

constexpr auto kernel = "6.1.0-18-amd64";
const QString thinkpadFan = QStringLiteral("proc/acpi/ibm/fan");

} // namespace

TEST(ProcAcpiThinkpadFanController, BoostRenewAndRestoreWriteOnlyTheFanFileInOrder) {
    struct Case {
        AdvancedFanBoostProfile profile;
        double lease;
        QByteArray watchdog;
        QByteArray level;
    };
    const Case cases[] = {
        {AdvancedFanBoostProfile::maximumSafe, 5, "watchdog 6\n", "level 7\n"},
        {AdvancedFanBoostProfile::balanced, 2.5, "watchdog 4\n", "level 5\n"},
        {AdvancedFanBoostProfile::balanced, 0.001, "watchdog 2\n", "level 5\n"},
    };
    for (const Case& c : cases) {
        auto tree = copyFixture(QStringLiteral("thinkpad-t480"));
        const auto before = snapshot(tree->path());
        Writes writes;
        auto hardware = detectFanHelperHardware(tree->path() + "/proc", tree->path() + "/sys", kernel,
                                                AdvancedFanCompatibilityCatalog::releaseRecords(),
                                                recordingWriter(tree->path(), writes));
        ASSERT_TRUE(hardware.controller) << hardware.refusal.toStdString();
        EXPECT_EQ(hardware.controller->driver(), "thinkpad");
        ASSERT_TRUE(hardware.controller->boost(c.profile, c.lease));
        ASSERT_TRUE(hardware.controller->renew(c.profile, c.lease));
        ASSERT_TRUE(hardware.controller->restoreAutomatic());
        const Writes expected = {{thinkpadFan, c.watchdog},     {thinkpadFan, c.level},
                                 {thinkpadFan, c.watchdog},     {thinkpadFan, c.level},
                                 {thinkpadFan, "level auto\n"}, {thinkpadFan, "watchdog 0\n"}};
        EXPECT_EQ(writes, expected) << c.lease;
        EXPECT_EQ(changedFiles(before, snapshot(tree->path())), std::vector<QString>{thinkpadFan});
    }
}

TEST(ProcAcpiThinkpadFanController, WatchdogStaysWithinTheDriversRange) {
    const std::pair<double, int> cases[] = {{0.2, 2},   {1, 2},     {4.5, 6}, {5, 6},
                                            {119, 120}, {500, 120}, {-3, 1}};
    for (const auto& [lease, seconds] : cases)
        EXPECT_EQ(ProcAcpiThinkpadFanController::watchdogSeconds(lease), seconds) << lease;
}

TEST(ProcAcpiThinkpadFanController, ReadsSpeedAndManualLevel) {
    auto tree = copyFixture(QStringLiteral("thinkpad-t480"));
    const auto recorded = ProcAcpiThinkpadFanController(tree->path() + "/proc").reading(0);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->actualRPM, 3150);
    EXPECT_TRUE(recorded->isManual); // "level: 3"
    EXPECT_FALSE(recorded->targetRPM);
    EXPECT_FALSE(ProcAcpiThinkpadFanController(tree->path() + "/proc").reading(1));

    const std::pair<QByteArray, std::optional<bool>> cases[] = {
        {"status:\t\tenabled\nspeed:\t\t2900\nlevel:\t\tauto\n", false},
        {"speed:\t\t5200\nlevel:\t\tfull-speed\n", true},
        {"speed:\t\t5200\nlevel:\t\tdisengaged\n", true},
        {"status:\t\tenabled\nlevel:\t\tauto\n", std::nullopt}, // no speed
        {"speed:\t\tfast\nlevel:\t\tauto\n", std::nullopt},     // not a number
        {"speed:\t\t2900\n", std::nullopt},                     // no level
    };
    for (const auto& [text, manual] : cases) {
        const auto reading = ProcAcpiThinkpadFanController::parse(text);
        ASSERT_EQ(reading.has_value(), manual.has_value()) << text.toStdString();
        if (reading)
            EXPECT_EQ(reading->isManual, *manual) << text.toStdString();
    }
}

TEST(FanHelperHardwareDetection, OnlyReleasedInterfacesWithASafetyNetAreControlled) {
    struct Case {
        const char* name;
        QString fixture;
        QByteArray thinkpadFile; // replaces the recorded fan file when set
        QString kernel;
        QString driver; // empty: refused
    };
    const QByteArray withoutControl = "status:\t\tenabled\nspeed:\t\t3150\nlevel:\t\tauto\n";
    const QByteArray levelOnly = withoutControl + "commands:\tlevel <level> (<level> is 0-7, auto)\n";
    const Case cases[] = {
        {"thinkpad with fan_control", "thinkpad-t480", {}, kernel, "thinkpad"},
        {"thinkpad 5.4", "thinkpad-t480", {}, "5.4.0-150-generic", "thinkpad"},
        {"thinkpad without fan_control", "thinkpad-t480", withoutControl, kernel, {}},
        {"thinkpad without watchdog", "thinkpad-t480", levelOnly, kernel, {}},
        {"thinkpad on 4.19", "thinkpad-t480", {}, "4.19.0-26-amd64", {}},
        {"thinkpad on 7.0", "thinkpad-t480", {}, "7.0.1", {}},
        {"thinkpad on 6.18", "thinkpad-t480", {}, "6.18.2", {}},
        {"thinkpad, unreadable release", "thinkpad-t480", {}, "", {}},
        {"applesmc", "intel-mac", {}, kernel, "applesmc"},
        {"applesmc on 4.19", "intel-mac", {}, "4.19.0", {}},
        {"no fan interface", "empty", {}, kernel, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir empty;
        auto tree = c.fixture == "empty" ? nullptr : copyFixture(c.fixture);
        const QString root = tree ? tree->path() : empty.path();
        if (!c.thinkpadFile.isEmpty())
            writeFile(root + "/" + thinkpadFan, c.thinkpadFile);
        const auto before = snapshot(root);
        const auto hardware = detectFanHelperHardware(root + "/proc", root + "/sys", c.kernel,
                                                      AdvancedFanCompatibilityCatalog::releaseRecords());
        EXPECT_EQ(hardware.controller ? hardware.controller->driver() : QString(), c.driver);
        EXPECT_EQ(hardware.refusal.isEmpty(), !c.driver.isEmpty());
        EXPECT_TRUE(changedFiles(before, snapshot(root)).empty());
    }
}

TEST(SysfsAppleSmcFanController, BoostSetsEveryFanManualAtTheProfileSpeedAndRestoreReleasesIt) {
    const std::pair<AdvancedFanBoostProfile, QByteArray> cases[] = {
        {AdvancedFanBoostProfile::maximumSafe, "6199\n"},
        {AdvancedFanBoostProfile::balanced, "3750\n"}, // midway between 1300 and 6199
    };
    for (const auto& [profile, output] : cases) {
        auto tree = copyFixture(QStringLiteral("intel-mac"));
        const QString fan = tree->path() + "/sys/devices/platform/applesmc.768/fan";
        // A second fan, so that "every fan" is tested.
        for (const auto& [name, value] :
             std::initializer_list<std::pair<const char*, QByteArray>>{{"input", "2000\n"},
                                                                       {"manual", "0\n"},
                                                                       {"output", "2000\n"},
                                                                       {"min", "2000\n"},
                                                                       {"max", "5800\n"}})
            writeFile(fan + "2_" + name, value);
        const auto before = snapshot(tree->path());
        Writes writes;
        SysfsAppleSmcFanController controller(tree->path() + "/sys", recordingWriter(tree->path(), writes));
        ASSERT_EQ(controller.fanCount(), 2);
        ASSERT_TRUE(controller.boost(profile, 5));
        EXPECT_EQ(readFile(fan + "1_output"), output);
        EXPECT_EQ(readFile(fan + "1_manual"), "1\n");
        EXPECT_EQ(readFile(fan + "2_manual"), "1\n");
        EXPECT_EQ(readFile(fan + "2_output"), profile == AdvancedFanBoostProfile::maximumSafe
                                                  ? QByteArray("5800\n")
                                                  : QByteArray("3900\n"));
        const auto reading = controller.reading(0);
        ASSERT_TRUE(reading);
        EXPECT_TRUE(reading->isManual);

        const auto boosted = snapshot(tree->path());
        ASSERT_TRUE(controller.renew(profile, 5));
        EXPECT_EQ(snapshot(tree->path()), boosted); // the lease is the helper's timer, not the hardware's

        ASSERT_TRUE(controller.restoreAutomatic());
        EXPECT_EQ(readFile(fan + "1_manual"), "0\n");
        EXPECT_EQ(readFile(fan + "2_manual"), "0\n");
        const std::vector<QString> expectedChanged = {
            "sys/devices/platform/applesmc.768/fan1_output",
            "sys/devices/platform/applesmc.768/fan2_output",
        };
        EXPECT_EQ(changedFiles(before, snapshot(tree->path())), expectedChanged);
        EXPECT_EQ(writes.size(), 6u);
    }
}

TEST(SysfsAppleSmcFanController, ReadsTheRecordedFan) {
    auto tree = copyFixture(QStringLiteral("intel-mac"));
    SysfsAppleSmcFanController controller(tree->path() + "/sys");
    ASSERT_EQ(controller.fanCount(), 1);
    const AdvancedFanTelemetryReading expected{0, 1299, 1300, 1300, 6199, false};
    EXPECT_EQ(controller.reading(0), expected);
    EXPECT_FALSE(controller.reading(1));
    EXPECT_FALSE(controller.reading(-1));
}

TEST(SysfsAppleSmcFanController, AFileTheKernelRefusesFailsTheBoostAndRestoreStillReachesTheOtherFiles) {
    auto tree = copyFixture(QStringLiteral("intel-mac"));
    const QString fan = tree->path() + "/sys/devices/platform/applesmc.768/fan1_";
    // A directory where the attribute should be: the write fails as the kernel's EIO would.
    QFile::remove(fan + "output");
    ASSERT_TRUE(QDir().mkdir(fan + "output"));
    SysfsAppleSmcFanController controller(tree->path() + "/sys");
    EXPECT_FALSE(controller.boost(AdvancedFanBoostProfile::maximumSafe, 5));
    EXPECT_EQ(readFile(fan + "manual"), "0\n"); // never set manual without its target

    QDir().rmdir(fan + "output");
    writeFile(fan + "output", "1300\n");
    QFile::remove(fan + "manual");
    ASSERT_TRUE(QDir().mkdir(fan + "manual"));
    EXPECT_FALSE(controller.restoreAutomatic());
}
