#include "LinuxThermalSignal.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

TEST(LinuxThermalSignal, VirtualMachinesAndMachinesWithoutSourcesOfferNone) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, QByteArray>> files; // relative to the machine's root
        bool offers;
    } cases[] = {
        {"laptop with a thermal zone",
         {{"proc/cpuinfo", "processor\t: 0\nflags\t\t: fpu vme sse2 ht\n"},
          {"sys/class/thermal/thermal_zone0/temp", "45000\n"},
          {"sys/class/dmi/id/sys_vendor", "LENOVO\n"}},
         true},
        {"desktop with hwmon only",
         {{"proc/cpuinfo", "flags\t\t: fpu sse2\n"}, {"sys/class/hwmon/hwmon2/temp1_input", "41000\n"}},
         true},
        {"throttle counters only",
         {{"sys/devices/system/cpu/cpu0/thermal_throttle/core_throttle_count", "0\n"}},
         true},
        {"hypervisor flag, even with a zone",
         {{"proc/cpuinfo", "flags\t\t: fpu sse2 hypervisor lahf_lm\n"},
          {"sys/class/thermal/thermal_zone0/temp", "27800\n"}},
         false},
        {"QEMU by its vendor",
         {{"sys/class/dmi/id/sys_vendor", "QEMU\n"}, {"sys/class/hwmon/hwmon0/temp1_input", "1"}},
         false},
        {"VirtualBox",
         {{"sys/class/dmi/id/sys_vendor", "innotek GmbH\n"}, {"sys/class/hwmon/hwmon0/temp1_input", "1"}},
         false},
        {"Hyper-V",
         {{"sys/class/dmi/id/sys_vendor", "Microsoft Corporation\n"},
          {"sys/class/dmi/id/product_name", "Virtual Machine\n"},
          {"sys/class/hwmon/hwmon0/temp1_input", "1"}},
         false},
        {"a Surface laptop is no virtual machine",
         {{"sys/class/dmi/id/sys_vendor", "Microsoft Corporation\n"},
          {"sys/class/dmi/id/product_name", "Surface Laptop 4\n"},
          {"sys/class/thermal/thermal_zone0/temp", "40000\n"}},
         true},
        {"a cooling device that cannot engage is no source",
         {{"sys/class/thermal/cooling_device0/max_state", "0\n"}},
         false},
        {"a cooling device that can engage", {{"sys/class/thermal/cooling_device0/max_state", "3\n"}}, true},
        {"nothing at all (Apple silicon today)", {{"sys/class/power_supply/.keep", ""}}, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        for (const auto& [path, content] : c.files)
            test::writeFile(root.path() + u'/' + QLatin1String(path), content);
        EXPECT_EQ(LinuxThermalSignal::machineOffersThermalSignal(root.path() + QStringLiteral("/proc"),
                                                                 root.path() + QStringLiteral("/sys")),
                  c.offers)
            << c.name;
    }
}
