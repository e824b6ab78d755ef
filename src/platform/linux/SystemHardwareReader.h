#pragma once

#include "hardware/HardwareProfileDiscovering.h"

#include <QString>
#include <QStringList>

namespace kestrum {

// Which machine this is: the model identifier (an Apple-silicon Mac's own identifier from its device
// tree, else the firmware's DMI vendor and product or mainboard, else the device tree's model text), the
// processor brand (/proc/cpuinfo; arm64 implementer and part), core counts from the CPU topology and the
// installed memory (memory blocks, else MemTotal).
class SystemHardwareReader : public SystemHardwareSnapshotReading {
public:
    explicit SystemHardwareReader(QString procRoot = QStringLiteral("/proc"),
                                  QString sysRoot = QStringLiteral("/sys"));
    SystemHardwareSnapshot read() override;

    struct CpuInfo {
        std::optional<QString> modelName; // x86 "model name", or another architecture's model line
        std::optional<int> implementer;   // arm64 "CPU implementer"
        std::vector<int> parts;           // arm64 "CPU part" values, first seen first
        int processorCount = 0;
        bool operator==(const CpuInfo&) const = default;
    };
    static CpuInfo parseCpuInfo(const QString& text);
    // The NUL-separated strings of a device-tree property.
    static QStringList parseDeviceTreeStrings(const QByteArray& bytes);
    // "apple,j313" → "MacBookAir10,1"; absent for boards not in the table.
    static std::optional<QString> appleModelIdentifier(const QStringList& compatible);
    // "apple,t8103" → "M1".
    static std::optional<QString> appleChipName(const QStringList& compatible);
    static std::optional<QString> processorBrand(const CpuInfo& cpu, const QStringList& compatible);
    // Vendor and product from DMI; placeholders such as "To Be Filled By O.E.M." count as missing. An
    // Intel Mac's product is its identifier already.
    static std::optional<QString> dmiModelIdentifier(const std::optional<QString>& vendor,
                                                     const std::optional<QString>& product,
                                                     const std::optional<QString>& version);
    static bool isPlaceholder(const QString& text);
    // "0-3,6,8-9" → the CPU numbers; empty when the list is malformed.
    static std::vector<int> parseCpuList(const QString& list);

private:
    std::optional<QString> modelIdentifier(const QStringList& compatible) const;
    std::pair<std::optional<int>, std::optional<int>> coreCounts(const CpuInfo& cpu) const;
    std::optional<uint64_t> memoryBytes() const;

    QString m_procRoot;
    QString m_sysRoot;
};

} // namespace kestrum
