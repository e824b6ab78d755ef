#include "FirmwareMachineVendorReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;

TEST(FirmwareMachineVendorReader, TellsMacsFromOtherMachines) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, QByteArray>> files; // relative to the root
        bool isMac;
    } cases[] = {
        {"Apple-silicon board in the device tree",
         {{"proc/device-tree/compatible", QByteArray("apple,j313\0apple,t8103\0apple,arm-platform\0", 43)}},
         true},
        {"device tree seen only under /sys",
         {{"sys/firmware/devicetree/base/compatible", QByteArray("apple,j414c\0apple,t6001\0", 25)}},
         true},
        {"another ARM board",
         {{"proc/device-tree/compatible", QByteArray("raspberrypi,4-model-b\0brcm,bcm2711\0", 36)}},
         false},
        {"an Apple SoC named only after another board",
         {{"proc/device-tree/compatible", QByteArray("pine64,board\0apple,t8103\0", 25)}},
         false},
        {"Intel Mac", {{"sys/class/dmi/id/sys_vendor", "Apple Inc.\n"}}, true},
        {"early Intel Mac", {{"sys/class/dmi/id/sys_vendor", "Apple Computer, Inc.\n"}}, true},
        {"ThinkPad", {{"sys/class/dmi/id/sys_vendor", "LENOVO\n"}}, false},
        {"a vendor that merely starts like Apple",
         {{"sys/class/dmi/id/sys_vendor", "Apple Valley Systems\n"}},
         false},
        {"virtual machine on a Mac",
         {{"sys/class/dmi/id/sys_vendor", "Parallels International GmbH.\n"}},
         false},
        {"nothing readable", {}, false},
    };
    for (const auto& c : cases) {
        QTemporaryDir root;
        for (const auto& [path, content] : c.files)
            test::writeFile(root.path() + u'/' + QLatin1String(path), content);
        const FirmwareMachineVendorReader reader(root.path() + QStringLiteral("/proc"),
                                                 root.path() + QStringLiteral("/sys"));
        EXPECT_EQ(reader.isMac(), c.isMac) << c.name;
    }
}

TEST(FirmwareMachineVendorReader, RecordedMachines) {
    struct Case {
        const char* fixture;
        bool isMac;
    } cases[] = {{"apple-silicon", true}, {"intel-laptop", false}, {"amd-desktop", false}, {"vm", false}};
    for (const auto& c : cases) {
        const QString root = test::fixture(QLatin1String(c.fixture));
        EXPECT_EQ(FirmwareMachineVendorReader(root + QStringLiteral("/proc"), root + QStringLiteral("/sys"))
                      .isMac(),
                  c.isMac)
            << c.fixture;
    }
}
