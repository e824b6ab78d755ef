// The hardware readers over recorded machines and recorded start-up disk layouts.

#include "DrmGraphicsDeviceIdentityReader.h"
#include "LinuxServices.h"
#include "StartupDiskIdentityReader.h"
#include "SysfsBatteryServiceReader.h"
#include "SystemHardwareReader.h"
#include "TestSupport.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

QString tree(const QString& name) {
    return test::fixture(QStringLiteral("hardware/") + name);
}

HardwareProfile profileOf(const QString& machine, bool english = false) {
    LinuxServices::Roots roots = LinuxServices::Roots::recordedTree(tree(machine));
    // The composition root's readers, pointed at the recorded machine and its own pci.ids excerpt.
    const auto dependencies = LinuxServices::makeHardwareDependencies(roots);
    auto* real = dynamic_cast<DefaultHardwareProfileDiscoverer*>(dependencies.discoverer.get());
    EXPECT_TRUE(real);
    HardwareReadings readings = real->read();
    readings.graphicsName =
        DrmGraphicsDeviceIdentityReader(roots.sys, {test::fixture(QStringLiteral("pci.ids"))}).read();
    return DefaultHardwareProfileDiscoverer::makeProfile(readings, MacHardwareCatalog{},
                                                         Date::fromUnixSeconds(1'770'000'000), english);
}

struct ComponentRow {
    HardwareComponentKind kind;
    const char* model;
    const char* detail;
};

} // namespace

TEST(HardwareReaders, ProfilesOfTheRecordedMachines) {
    using K = HardwareComponentKind;
    struct Case {
        const char* machine;
        const char* identifier;
        std::vector<ComponentRow> components;
        const char* storageReason;
    } cases[] = {
        {"intel-laptop",
         "LENOVO ThinkPad X1 Carbon Gen 9",
         {{K::processor, "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz",
           "4 fiziksel çekirdek · 8 mantıksal çekirdek"},
          {K::graphics, "Intel Corporation TigerLake-LP GT2 [Iris Xe Graphics]",
           "Grafik aygıtı macOS Metal arayüzünden okundu"},
          {K::memory, "16 GB bellek", "Bellek modülü üreticisi ve değiştirilebilirliği doğrulanmadı"},
          {K::storage, "SAMSUNG MZVL21T0HCLR-00BL7", "1 TB · NVMe · SSD · Dahili"},
          {K::battery, "Dahili batarya", "macOS sağlık durumu: Good"}},
         nullptr},
        {"amd-desktop",
         "ASRock B550M Steel Legend",
         {{K::processor, "AMD Ryzen 9 5950X 16-Core Processor",
           "16 fiziksel çekirdek · 32 mantıksal çekirdek"},
          {K::graphics, "AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]",
           "Grafik aygıtı macOS Metal arayüzünden okundu"},
          {K::memory, "64 GB bellek", "Bellek modülü üreticisi ve değiştirilebilirliği doğrulanmadı"},
          {K::storage, "Samsung SSD 870 EVO 1TB", "1 TB · SATA · SSD · Dahili"}},
         nullptr},
        {"vm",
         "QEMU Standard PC (Q35 + ICH9, 2009)",
         {{K::processor, "AMD EPYC 7B13", "2 fiziksel çekirdek · 2 mantıksal çekirdek"},
          {K::memory, "8 GB bellek", "Bellek modülü üreticisi ve değiştirilebilirliği doğrulanmadı"},
          {K::storage, "Dahili depolama", "21 GB · VirtIO · Dahili"}},
         nullptr},
        {"apple-silicon",
         "MacBookAir10,1",
         {{K::processor, "Apple M1", "8 fiziksel çekirdek · 8 mantıksal çekirdek"},
          {K::graphics, "Apple M1 GPU", "Grafik aygıtı macOS Metal arayüzünden okundu"},
          // Without memory blocks the kernel's MemTotal is all there is: 15.5 GiB, not a guessed 16.
          {K::memory, "15 GB bellek", "Bellek modülü üreticisi ve değiştirilebilirliği doğrulanmadı"},
          {K::storage, "APPLE SSD AP0512Q", "500 GB · NVMe · SSD · Dahili"},
          {K::battery, "Dahili batarya", "macOS sağlık durumu: Good"}},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        const HardwareProfile profile = profileOf(QString::fromLatin1(c.machine));
        EXPECT_EQ(profile.modelIdentifier, QString::fromUtf8(c.identifier));
        EXPECT_EQ(profile.modelName, profile.modelIdentifier);
        EXPECT_FALSE(profile.catalogMatched) << "no recorded machine is in the catalog";
        ASSERT_EQ(profile.components.size(), c.components.size());
        for (size_t i = 0; i < c.components.size(); ++i) {
            EXPECT_EQ(profile.components[i].kind, c.components[i].kind) << i;
            EXPECT_EQ(profile.components[i].model, QString::fromUtf8(c.components[i].model)) << i;
            EXPECT_EQ(profile.components[i].detail, QString::fromUtf8(c.components[i].detail)) << i;
        }
        EXPECT_FALSE(profile.storageUnavailableReason);
    }
    // Apple's own disk names its maker although the kernel gives no vendor.
    EXPECT_EQ(profileOf(QStringLiteral("apple-silicon")).component(K::storage)->manufacturer,
              QStringLiteral("Apple"));
    // The processor of an Apple-silicon Mac is Apple's.
    EXPECT_EQ(profileOf(QStringLiteral("apple-silicon")).component(K::processor)->manufacturer,
              QStringLiteral("Apple"));
    // English notation for the capacity when the interface is English.
    EXPECT_EQ(profileOf(QStringLiteral("intel-laptop"), true).component(K::storage)->detail,
              QStringLiteral("1 TB · NVMe · SSD · Dahili"));
}

TEST(HardwareReaders, BatteryWearAndDiskTemperatureAsEvidence) {
    const HardwareProfile laptop = profileOf(QStringLiteral("intel-laptop"));
    ASSERT_TRUE(laptop.batteryService);
    EXPECT_EQ(laptop.batteryService->cycleCount, 212);
    EXPECT_EQ(laptop.component(HardwareComponentKind::battery)->evidence,
              (std::vector<QString>{
                  QStringLiteral("Şarj döngüsü sayısı: 212"),
                  QStringLiteral("Tam şarj kapasitesi / tasarım kapasitesi: %90 (51,3 Wh / 57,0 Wh)")}));
    // The NVMe drive's composite temperature comes from the kernel; SMART needs the bus, which a
    // recorded machine does not have, and the evidence says so.
    EXPECT_EQ(
        laptop.component(HardwareComponentKind::storage)->evidence,
        (std::vector<QString>{
            QStringLiteral("Sürücü sıcaklığı: 38,9 °C"),
            QStringLiteral(
                "SMART verisi okunamadı: Sistem veri yoluna bağlanılamadığı için udisks2 sorulamadı.")}));
    EXPECT_EQ(laptop.storageHealth->source, QStringLiteral("hwmon"));

    // Apple silicon: charge figures, since the energy ones are computed there.
    const auto mac =
        SysfsBatteryServiceReader(tree(QStringLiteral("apple-silicon")) + QStringLiteral("/sys")).read();
    ASSERT_TRUE(mac);
    EXPECT_EQ(mac->capacityUnit, QStringLiteral("mAh"));
    EXPECT_DOUBLE_EQ(*mac->designCapacity, 4382.0);
    EXPECT_EQ(mac->cycleCount, 87);
    // A mouse battery is not the machine's.
    EXPECT_FALSE(
        SysfsBatteryServiceReader(tree(QStringLiteral("amd-desktop")) + QStringLiteral("/sys")).read());
}

TEST(HardwareReaders, StartupDiskLayouts) {
    struct Case {
        const char* tree;
        const char* disk;   // nullptr: none
        const char* reason; // start of the reason when there is no disk
        const char* protocol;
        std::optional<bool> internal;
        std::optional<bool> solid;
        const char* model;
    } cases[] = {
        {"intel-laptop", "nvme0n1", nullptr, "NVMe", true, true, "SAMSUNG MZVL21T0HCLR-00BL7"}, // LUKS + LVM
        {"amd-desktop", "sda", nullptr, "SATA", true, true, "Samsung SSD 870 EVO 1TB"}, // plain partition
        {"vm", "vda", nullptr, "VirtIO", true, false, nullptr},
        {"apple-silicon", "nvme0n1", nullptr, "NVMe", true, true, "APPLE SSD AP0512Q"}, // single-device btrfs
        {"disks/emmc", "mmcblk0", nullptr, "eMMC", true, true, "DA4064"},
        {"disks/usb-removable", "sdb", nullptr, "USB", false, false, "Extreme"},
        {"disks/tmpfs", nullptr, "Kök dosya sistemi bellekte (tmpfs)", nullptr, {}, {}, nullptr},
        {"disks/overlay",
         nullptr,
         "Kök dosya sistemi katmanlı bir dosya sistemi (overlay)",
         nullptr,
         {},
         {},
         nullptr},
        {"disks/nfs",
         nullptr,
         "Kök dosya sistemi ağ veya sanal makine paylaşımından bağlı (nfs4)",
         nullptr,
         {},
         {},
         nullptr},
        {"disks/zfs", nullptr, "Kök dosya sistemi bir ZFS havuzunda", nullptr, {}, {}, nullptr},
        {"disks/btrfs-multi",
         nullptr,
         "Kök dosya sistemi birden çok diske yayılıyor (2 aygıt)",
         nullptr,
         {},
         {},
         nullptr},
        {"disks/lvm-two-disks",
         nullptr,
         "Kök dosya sistemi birden çok diske yayılıyor (2 aygıt)",
         nullptr,
         {},
         {},
         nullptr},
        {"disks/md-raid1",
         nullptr,
         "Kök dosya sistemi birden çok diske yayılıyor (2 aygıt)",
         nullptr,
         {},
         {},
         nullptr},
        {"disks/no-mountinfo",
         nullptr,
         "Kök dosya sisteminin bağlantı bilgisi okunamadı.",
         nullptr,
         {},
         {},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tree);
        const QString root = tree(QString::fromLatin1(c.tree));
        const StartupDiskReading reading =
            StartupDiskIdentityReader(root + QStringLiteral("/proc"), root + QStringLiteral("/sys")).read();
        if (!c.disk) {
            EXPECT_FALSE(reading.identity);
            EXPECT_FALSE(reading.deviceName);
            ASSERT_TRUE(reading.unavailableReason);
            EXPECT_TRUE(reading.unavailableReason->startsWith(QString::fromUtf8(c.reason)))
                << reading.unavailableReason->toStdString();
            continue;
        }
        EXPECT_EQ(reading.deviceName, QString::fromLatin1(c.disk));
        ASSERT_TRUE(reading.identity);
        EXPECT_EQ(reading.identity->protocolName, QString::fromLatin1(c.protocol));
        EXPECT_EQ(reading.identity->isInternal, c.internal);
        EXPECT_EQ(reading.identity->isSolidState, c.solid);
        EXPECT_EQ(reading.identity->model,
                  c.model ? std::optional<QString>(QString::fromLatin1(c.model)) : std::nullopt);
        EXPECT_TRUE(reading.identity->physicalBytes);
        EXPECT_FALSE(reading.unavailableReason);
    }
    // The SATA translation layer's "ATA" is no maker; a USB stick's vendor is.
    const QString usb = tree(QStringLiteral("disks/usb-removable"));
    EXPECT_EQ(StartupDiskIdentityReader(usb + QStringLiteral("/proc"), usb + QStringLiteral("/sys"))
                  .read()
                  .identity->manufacturer,
              QStringLiteral("SanDisk"));
    const QString desktop = tree(QStringLiteral("amd-desktop"));
    EXPECT_FALSE(
        StartupDiskIdentityReader(desktop + QStringLiteral("/proc"), desktop + QStringLiteral("/sys"))
            .read()
            .identity->manufacturer);
}

TEST(HardwareReaders, MountTableParsing) {
    const QString mountinfo =
        QStringLiteral("22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                       "30 22 8:3 / /mnt/my\\040disk rw - ext4 /dev/sda3 rw\n"
                       "31 22 0:40 / /srv rw,relatime shared:9 master:2 - nfs4 host:/x rw\n"
                       "garbage line\n"
                       "40 22 0:52 / / rw - overlay overlay rw,lowerdir=/a\n");
    using Entry = StartupDiskIdentityReader::MountEntry;
    // The last mount on a path is the one in effect.
    EXPECT_EQ(StartupDiskIdentityReader::mountEntry(mountinfo, QStringLiteral("/")),
              (Entry{QStringLiteral("0:52"), QStringLiteral("/"), QStringLiteral("overlay"),
                     QStringLiteral("overlay")}));
    EXPECT_EQ(StartupDiskIdentityReader::mountEntry(mountinfo, QStringLiteral("/mnt/my disk"))->source,
              QStringLiteral("/dev/sda3"));
    EXPECT_EQ(StartupDiskIdentityReader::mountEntry(mountinfo, QStringLiteral("/srv"))->fileSystemType,
              QStringLiteral("nfs4"));
    EXPECT_FALSE(StartupDiskIdentityReader::mountEntry(mountinfo, QStringLiteral("/home")));
    EXPECT_FALSE(StartupDiskIdentityReader::mountEntry(QString(), QStringLiteral("/")));
}

TEST(HardwareReaders, ModelIdentityRules) {
    struct DmiCase {
        std::optional<QString> vendor, product, version;
        std::optional<QString> expected;
    } dmi[] = {
        {QStringLiteral("Dell Inc."), QStringLiteral("XPS 13 9310"), QStringLiteral("1.0"),
         QStringLiteral("Dell Inc. XPS 13 9310")},
        {QStringLiteral("LENOVO"), QStringLiteral("20XW0055GE"), QStringLiteral("ThinkPad X1 Carbon Gen 9"),
         QStringLiteral("LENOVO ThinkPad X1 Carbon Gen 9")},
        {QStringLiteral("LENOVO"), QStringLiteral("82A1"), QStringLiteral("None"),
         QStringLiteral("LENOVO 82A1")},
        {QStringLiteral("Apple Inc."), QStringLiteral("MacBookPro16,1"), QStringLiteral("1.0"),
         QStringLiteral("MacBookPro16,1")},
        {QStringLiteral("HP"), QStringLiteral("HP EliteBook 840 G8"), std::nullopt,
         QStringLiteral("HP EliteBook 840 G8")},
        {QStringLiteral("To Be Filled By O.E.M."), QStringLiteral("To be filled by O.E.M."), std::nullopt,
         std::nullopt},
        {QStringLiteral("System manufacturer"), QStringLiteral("System Product Name"), std::nullopt,
         std::nullopt},
        {QStringLiteral("Default string"), QStringLiteral("B450 AORUS"), std::nullopt,
         QStringLiteral("B450 AORUS")},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt}, // DMI unreadable
        {QStringLiteral("QEMU"), QStringLiteral("  Standard   PC  "), std::nullopt,
         QStringLiteral("QEMU Standard PC")},
    };
    for (const DmiCase& c : dmi)
        EXPECT_EQ(SystemHardwareReader::dmiModelIdentifier(c.vendor, c.product, c.version), c.expected)
            << c.product.value_or(QStringLiteral("-")).toStdString();

    const auto compatible = [](const char* bytes, size_t size) {
        return SystemHardwareReader::parseDeviceTreeStrings(QByteArray(bytes, static_cast<qsizetype>(size)));
    };
    EXPECT_EQ(SystemHardwareReader::appleModelIdentifier(
                  compatible("apple,j314s\0apple,t6000\0apple,arm-platform", 39)),
              QStringLiteral("MacBookPro18,3"));
    EXPECT_EQ(
        SystemHardwareReader::appleChipName(compatible("apple,j314s\0apple,t6000\0apple,arm-platform", 39)),
        QStringLiteral("M1 Pro"));
    EXPECT_FALSE(SystemHardwareReader::appleModelIdentifier(compatible("apple,j999\0apple,t9999", 22)));
    EXPECT_FALSE(
        SystemHardwareReader::appleModelIdentifier(compatible("raspberrypi,4-model-b\0brcm,bcm2711", 34)));
    EXPECT_FALSE(SystemHardwareReader::appleModelIdentifier({}));

    struct CpuCase {
        const char* cpuinfo;
        QStringList compatible;
        std::optional<QString> brand;
    } cpus[] = {
        {"processor : 0\nmodel name : Intel(R) Core(TM)  i5-8250U CPU @ 1.60GHz\n",
         {},
         QStringLiteral("Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz")},
        {"processor : 0\nCPU implementer : 0x61\nCPU part : 0x022\n",
         {QStringLiteral("apple,j293"), QStringLiteral("apple,t8103")},
         QStringLiteral("Apple M1")},
        {"processor : 0\nCPU implementer : 0x61\nCPU part : 0x032\n",
         {QStringLiteral("apple,j999")},
         QStringLiteral("Apple silicon")},
        {"processor : 0\nCPU implementer : 0x41\nCPU part : 0xd0b\nprocessor : 1\nCPU implementer : "
         "0x41\nCPU part : 0xd05\n",
         {},
         QStringLiteral("ARM Cortex-A76 + Cortex-A55")},
        {"processor : 0\nCPU implementer : 0x51\nCPU part : 0x001\n",
         {},
         QStringLiteral("Qualcomm CPU part 0x001")},
        {"processor : 0\nhart : 0\nisa : rv64imafdc\nuarch : sifive,u74-mc\n",
         {},
         QStringLiteral("sifive,u74-mc")},
        {"processor : 0\nflags : fpu\n", {}, std::nullopt},
        {"", {}, std::nullopt},
    };
    for (const CpuCase& c : cpus)
        EXPECT_EQ(SystemHardwareReader::processorBrand(
                      SystemHardwareReader::parseCpuInfo(QString::fromUtf8(c.cpuinfo)), c.compatible),
                  c.brand)
            << c.cpuinfo;

    EXPECT_EQ(SystemHardwareReader::parseCpuList(QStringLiteral("0-3,6,8-9\n")),
              (std::vector<int>{0, 1, 2, 3, 6, 8, 9}));
    EXPECT_TRUE(SystemHardwareReader::parseCpuList(QStringLiteral("3-1")).empty());
    EXPECT_TRUE(SystemHardwareReader::parseCpuList(QStringLiteral("x")).empty());
    EXPECT_TRUE(SystemHardwareReader::parseCpuList(QString()).empty());
}

TEST(HardwareReaders, WhatAnEmptyTreeGives) {
    // No DMI, no device tree, no cpuinfo: nothing is invented.
    QTemporaryDir empty;
    const SystemHardwareSnapshot snapshot =
        SystemHardwareReader(empty.path() + QStringLiteral("/proc"), empty.path() + QStringLiteral("/sys"))
            .read();
    EXPECT_EQ(snapshot, SystemHardwareSnapshot{});
    EXPECT_FALSE(SysfsBatteryServiceReader(empty.path()).read());
    EXPECT_FALSE(DrmGraphicsDeviceIdentityReader(empty.path(), {}).read());
}
