#include "SystemHardwareReader.h"

#include "SysfsFiles.h"

#include <QRegularExpression>
#include <set>

namespace kestrum {

namespace {

// Asahi Linux board names → the identifiers the machines report under macOS.
constexpr std::pair<const char*, const char*> kAppleBoards[] = {
    {"j274", "Macmini9,1"},      {"j293", "MacBookPro17,1"},  {"j313", "MacBookAir10,1"},
    {"j456", "iMac21,1"},        {"j457", "iMac21,2"},        {"j314s", "MacBookPro18,3"},
    {"j316s", "MacBookPro18,1"}, {"j314c", "MacBookPro18,4"}, {"j316c", "MacBookPro18,2"},
    {"j375c", "Mac13,1"},        {"j375d", "Mac13,2"},        {"j413", "Mac14,2"},
    {"j415", "Mac14,15"},        {"j473", "Mac14,3"},         {"j493", "Mac14,7"},
    {"j414s", "Mac14,9"},        {"j416s", "Mac14,10"},       {"j474s", "Mac14,12"},
    {"j414c", "Mac14,5"},        {"j416c", "Mac14,6"},        {"j475c", "Mac14,13"},
    {"j475d", "Mac14,14"},       {"j180d", "Mac14,8"},
};

constexpr std::pair<const char*, const char*> kAppleChips[] = {
    {"t8103", "M1"}, {"t6000", "M1 Pro"}, {"t6001", "M1 Max"}, {"t6002", "M1 Ultra"},
    {"t8112", "M2"}, {"t6020", "M2 Pro"}, {"t6021", "M2 Max"}, {"t6022", "M2 Ultra"},
};

constexpr int kImplementerApple = 0x61;
constexpr int kImplementerArm = 0x41;

constexpr std::pair<int, const char*> kImplementers[] = {
    {0x41, "ARM"},    {0x42, "Broadcom"}, {0x43, "Cavium"},   {0x46, "Fujitsu"}, {0x48, "HiSilicon"},
    {0x4e, "NVIDIA"}, {0x50, "APM"},      {0x51, "Qualcomm"}, {0x53, "Samsung"}, {0x56, "Marvell"},
    {0x61, "Apple"},  {0x69, "Intel"},    {0xc0, "Ampere"},
};

// Arm's own cores, as their part numbers name them.
constexpr std::pair<int, const char*> kArmParts[] = {
    {0xd03, "Cortex-A53"},  {0xd04, "Cortex-A35"},  {0xd05, "Cortex-A55"},  {0xd07, "Cortex-A57"},
    {0xd08, "Cortex-A72"},  {0xd09, "Cortex-A73"},  {0xd0a, "Cortex-A75"},  {0xd0b, "Cortex-A76"},
    {0xd0c, "Neoverse-N1"}, {0xd0d, "Cortex-A77"},  {0xd40, "Neoverse-V1"}, {0xd41, "Cortex-A78"},
    {0xd44, "Cortex-X1"},   {0xd46, "Cortex-A510"}, {0xd47, "Cortex-A710"}, {0xd48, "Cortex-X2"},
    {0xd49, "Neoverse-N2"}, {0xd4b, "Cortex-A78C"}, {0xd4f, "Neoverse-V2"},
};

const char* lookup(const auto& table, int key) {
    for (const auto& [candidate, name] : table) {
        if (candidate == key)
            return name;
    }
    return nullptr;
}

std::optional<int> parseHex(const QString& text) {
    bool ok = false;
    const int value =
        text.startsWith(u"0x", Qt::CaseInsensitive) ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 0);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<QString> usable(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    QString cleaned = *text;
    cleaned.remove(QChar(u'\0'));
    cleaned = cleaned.simplified();
    if (cleaned.isEmpty() || SystemHardwareReader::isPlaceholder(cleaned))
        return std::nullopt;
    return cleaned;
}

} // namespace

SystemHardwareReader::SystemHardwareReader(QString procRoot, QString sysRoot)
    : m_procRoot(std::move(procRoot)), m_sysRoot(std::move(sysRoot)) {}

SystemHardwareReader::CpuInfo SystemHardwareReader::parseCpuInfo(const QString& text) {
    CpuInfo info;
    std::optional<QString> otherModel;
    for (const QString& line : text.split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == u"processor") {
            ++info.processorCount;
        } else if (key == u"model name") {
            if (!info.modelName && !value.isEmpty())
                info.modelName = value.simplified();
        } else if (key == u"CPU implementer") {
            if (!info.implementer)
                info.implementer = parseHex(value);
        } else if (key == u"CPU part") {
            const auto part = parseHex(value);
            if (part && std::find(info.parts.begin(), info.parts.end(), *part) == info.parts.end())
                info.parts.push_back(*part);
        } else if ((key == u"cpu model" || key == u"uarch" || key == u"cpu") && !otherModel &&
                   !value.isEmpty()) {
            otherModel = value.simplified(); // MIPS, RISC-V and POWER name their processor here
        }
    }
    if (!info.modelName && !info.implementer)
        info.modelName = otherModel;
    return info;
}

QStringList SystemHardwareReader::parseDeviceTreeStrings(const QByteArray& bytes) {
    QStringList strings;
    for (const QByteArray& piece : bytes.split('\0')) {
        const QString text = QString::fromUtf8(piece).trimmed();
        if (!text.isEmpty())
            strings << text;
    }
    return strings;
}

std::optional<QString> SystemHardwareReader::appleModelIdentifier(const QStringList& compatible) {
    if (compatible.isEmpty() || !compatible.first().startsWith(u"apple,"))
        return std::nullopt;
    const QString board = compatible.first().mid(6);
    for (const auto& [name, identifier] : kAppleBoards) {
        if (board == QLatin1String(name))
            return QString::fromLatin1(identifier);
    }
    return std::nullopt;
}

std::optional<QString> SystemHardwareReader::appleChipName(const QStringList& compatible) {
    for (const QString& entry : compatible) {
        if (!entry.startsWith(u"apple,"))
            continue;
        for (const auto& [soc, chip] : kAppleChips) {
            if (entry.mid(6) == QLatin1String(soc))
                return QString::fromLatin1(chip);
        }
    }
    return std::nullopt;
}

std::optional<QString> SystemHardwareReader::processorBrand(const CpuInfo& cpu,
                                                            const QStringList& compatible) {
    if (cpu.modelName)
        return cpu.modelName;
    if (!cpu.implementer)
        return std::nullopt;
    if (*cpu.implementer == kImplementerApple) {
        const auto chip = appleChipName(compatible);
        return chip ? QStringLiteral("Apple ") + *chip : QStringLiteral("Apple silicon");
    }
    const char* implementer = lookup(kImplementers, *cpu.implementer);
    QString brand =
        implementer ? QString::fromLatin1(implementer)
                    : QStringLiteral("CPU implementer 0x%1").arg(*cpu.implementer, 2, 16, QLatin1Char('0'));
    QStringList parts;
    for (const int part : cpu.parts) {
        const char* name = *cpu.implementer == kImplementerArm ? lookup(kArmParts, part) : nullptr;
        parts << (name ? QString::fromLatin1(name)
                       : QStringLiteral("CPU part 0x%1").arg(part, 3, 16, QLatin1Char('0')));
    }
    if (!parts.isEmpty())
        brand += u' ' + parts.join(QStringLiteral(" + "));
    return brand;
}

bool SystemHardwareReader::isPlaceholder(const QString& text) {
    static const QStringList placeholders = {
        QStringLiteral("To Be Filled By O.E.M."),
        QStringLiteral("To be filled by O.E.M."),
        QStringLiteral("System Product Name"),
        QStringLiteral("System manufacturer"),
        QStringLiteral("System Manufacturer"),
        QStringLiteral("System Version"),
        QStringLiteral("Default string"),
        QStringLiteral("Not Applicable"),
        QStringLiteral("Not Specified"),
        QStringLiteral("None"),
        QStringLiteral("N/A"),
        QStringLiteral("OEM"),
        QStringLiteral("O.E.M."),
        QStringLiteral("Unknown"),
        QStringLiteral("Undefined"),
        QStringLiteral("INVALID"),
        QStringLiteral("Type1ProductConfigId"),
        QStringLiteral("x.x"),
        QStringLiteral("0123456789"),
        QStringLiteral("Default"),
    };
    const QString trimmed = text.trimmed();
    for (const QString& placeholder : placeholders) {
        if (trimmed.compare(placeholder, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::optional<QString> SystemHardwareReader::dmiModelIdentifier(const std::optional<QString>& vendorText,
                                                                const std::optional<QString>& productText,
                                                                const std::optional<QString>& versionText) {
    const auto vendor = usable(vendorText);
    auto product = usable(productText);
    const auto version = usable(versionText);
    // Lenovo keeps the machine-type code in the product and the model's name in the version.
    if (vendor && vendor->compare(u"LENOVO", Qt::CaseInsensitive) == 0 && version)
        product = version;
    if (!product)
        return std::nullopt;
    static const QRegularExpression macIdentifier(QStringLiteral("^[A-Za-z]+[0-9]+,[0-9]+$"));
    if (vendor && vendor->startsWith(u"Apple") && macIdentifier.match(*product).hasMatch())
        return product;
    if (!vendor || product->startsWith(*vendor, Qt::CaseInsensitive))
        return product;
    return *vendor + u' ' + *product;
}

std::vector<int> SystemHardwareReader::parseCpuList(const QString& list) {
    std::vector<int> cpus;
    const QString trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return cpus;
    for (const QString& range : trimmed.split(u',')) {
        bool okFirst = false, okLast = true;
        const qsizetype dash = range.indexOf(u'-');
        const int first = range.left(dash < 0 ? range.size() : dash).toInt(&okFirst);
        const int last = dash < 0 ? first : range.mid(dash + 1).toInt(&okLast);
        if (!okFirst || !okLast || first < 0 || last < first || last - first > 65535)
            return {};
        for (int cpu = first; cpu <= last; ++cpu)
            cpus.push_back(cpu);
    }
    return cpus;
}

std::optional<QString> SystemHardwareReader::modelIdentifier(const QStringList& compatible) const {
    if (auto apple = appleModelIdentifier(compatible))
        return apple;
    const QString dmi = m_sysRoot + QStringLiteral("/class/dmi/id/");
    if (auto fromDmi = dmiModelIdentifier(sysfs::readText(dmi + QStringLiteral("sys_vendor")),
                                          sysfs::readText(dmi + QStringLiteral("product_name")),
                                          sysfs::readText(dmi + QStringLiteral("product_version"))))
        return fromDmi;
    // Self-built desktops often leave the product as a placeholder but name their mainboard.
    if (auto board = dmiModelIdentifier(sysfs::readText(dmi + QStringLiteral("board_vendor")),
                                        sysfs::readText(dmi + QStringLiteral("board_name")), std::nullopt))
        return board;
    // Boards without DMI describe themselves in the device tree ("Raspberry Pi 4 Model B Rev 1.4").
    return usable(sysfs::readText(m_procRoot + QStringLiteral("/device-tree/model")));
}

std::pair<std::optional<int>, std::optional<int>> SystemHardwareReader::coreCounts(const CpuInfo& cpu) const {
    const QString cpuRoot = m_sysRoot + QStringLiteral("/devices/system/cpu/");
    std::vector<int> online =
        parseCpuList(sysfs::readText(cpuRoot + QStringLiteral("online")).value_or(QString()));
    std::optional<int> logical;
    if (!online.empty())
        logical = static_cast<int>(online.size());
    else if (cpu.processorCount > 0)
        logical = cpu.processorCount;

    // A physical core is one set of hardware threads; SMT siblings share it.
    std::set<QString> cores;
    for (const int number : online) {
        const QString topology = cpuRoot + QStringLiteral("cpu%1/topology/").arg(number);
        auto siblings = sysfs::readText(topology + QStringLiteral("core_cpus_list"));
        if (!siblings)
            siblings = sysfs::readText(topology + QStringLiteral("thread_siblings_list"));
        if (!siblings)
            return {std::nullopt, logical}; // one core unreadable: no count rather than a wrong one
        cores.insert(*siblings);
    }
    std::optional<int> physical;
    if (!cores.empty())
        physical = static_cast<int>(cores.size());
    return {physical, logical};
}

std::optional<uint64_t> SystemHardwareReader::memoryBytes() const {
    // Memory blocks cover the installed memory; MemTotal leaves out what the firmware and kernel keep.
    const QString memoryRoot = m_sysRoot + QStringLiteral("/devices/system/memory/");
    if (const auto blockSize = sysfs::readText(memoryRoot + QStringLiteral("block_size_bytes"))) {
        bool ok = false;
        const qulonglong size = blockSize->toULongLong(&ok, 16);
        static const QRegularExpression blockName(QStringLiteral("^memory[0-9]+$"));
        qulonglong blocks = 0;
        for (const QString& entry : sysfs::listDirectory(memoryRoot)) {
            if (blockName.match(entry).hasMatch())
                ++blocks;
        }
        if (ok && size > 0 && blocks > 0)
            return static_cast<uint64_t>(size * blocks);
    }
    const auto meminfo = sysfs::readText(m_procRoot + QStringLiteral("/meminfo"));
    if (!meminfo)
        return std::nullopt;
    for (const QString& line : meminfo->split(u'\n')) {
        if (!line.startsWith(u"MemTotal:"))
            continue;
        const QStringList fields = line.mid(9).simplified().split(u' ');
        bool ok = false;
        const qulonglong kilobytes = fields.value(0).toULongLong(&ok);
        if (ok && kilobytes > 0)
            return static_cast<uint64_t>(kilobytes * 1024);
    }
    return std::nullopt;
}

SystemHardwareSnapshot SystemHardwareReader::read() {
    const QStringList compatible = parseDeviceTreeStrings(
        sysfs::readFile(m_procRoot + QStringLiteral("/device-tree/compatible"), 4096).value_or(QByteArray()));
    const CpuInfo cpu = parseCpuInfo(QString::fromUtf8(
        sysfs::readFile(m_procRoot + QStringLiteral("/cpuinfo"), 1024 * 1024).value_or(QByteArray())));
    SystemHardwareSnapshot snapshot;
    snapshot.modelIdentifier = modelIdentifier(compatible);
    snapshot.processorBrand = processorBrand(cpu, compatible);
    std::tie(snapshot.physicalCores, snapshot.logicalCores) = coreCounts(cpu);
    snapshot.memoryBytes = memoryBytes();
    return snapshot;
}

} // namespace kestrum
