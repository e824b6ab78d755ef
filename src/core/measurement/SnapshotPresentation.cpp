#include "SnapshotPresentation.h"

#include "MetricFormatting.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QStringList>

namespace kestrum::SnapshotPresentation {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

PresentationGroup group(const char* key, QString title, const MetricAvailability& availability) {
    PresentationGroup g;
    g.key = QLatin1String(key);
    g.title = std::move(title);
    g.isAvailable = availability.isAvailable();
    if (!g.isAvailable)
        g.note = L10n::localizedFragment(availability.reason);
    return g;
}

void add(PresentationGroup& g, QString label, QString value) {
    g.rows.push_back({std::move(label), std::move(value)});
}

QString dBm(const std::optional<int>& value) {
    return value ? QString::number(*value) + QStringLiteral(" dBm") : MetricFormatting::unavailableText();
}

PresentationGroup cpuGroup(const CPUStats& cpu) {
    PresentationGroup g = group("cpu", tr("İşlemci"), cpu.availability);
    if (g.isAvailable) {
        add(g, tr("Toplam kullanım"), MetricFormatting::percentage(cpu.totalUsage, 1));
        add(g, tr("Mantıksal çekirdek"), QString::number(cpu.perCoreUsage.size()));
        QStringList cores;
        for (double usage : cpu.perCoreUsage)
            cores.append(MetricFormatting::percentage(usage, 0));
        add(g, tr("Çekirdek başına"), cores.join(QStringLiteral(" · ")));
    }
    // Load averages are read even while the usage baseline is being taken.
    QStringList load;
    for (double value : cpu.loadAverage)
        load.append(MetricFormatting::loadAverage(value));
    add(g, tr("Yük ortalaması (1/5/15 dk)"),
        load.isEmpty() ? MetricFormatting::unavailableText() : load.join(QStringLiteral(" · ")));
    return g;
}

PresentationGroup memoryGroup(const MemoryStats& memory) {
    PresentationGroup g = group("memory", tr("Bellek"), memory.availability);
    if (!g.isAvailable)
        return g;
    using MetricFormatting::ByteCountStyle;
    add(g, tr("Kullanılan"), MetricFormatting::bytes(double(memory.usedBytes), ByteCountStyle::memory));
    add(g, tr("Toplam"), MetricFormatting::bytes(double(memory.totalBytes), ByteCountStyle::memory));
    add(g, tr("Kullanım oranı"),
        memory.totalBytes > 0
            ? MetricFormatting::percentage(double(memory.usedBytes) / double(memory.totalBytes), 1)
            : MetricFormatting::unavailableText());
    add(g, tr("Sıkıştırılmış"),
        MetricFormatting::bytes(double(memory.compressedBytes), ByteCountStyle::memory));
    add(g, tr("Takas alanı kullanımı"),
        MetricFormatting::bytes(double(memory.swapUsedBytes), ByteCountStyle::memory));
    return g;
}

PresentationGroup diskGroup(const DiskStats& disk) {
    PresentationGroup g = group("disk", tr("Başlangıç diski"), disk.availability);
    if (!g.isAvailable)
        return g;
    add(g, tr("Toplam kapasite"), MetricFormatting::bytes(double(disk.totalBytes)));
    add(g, tr("Kullanılabilir"), MetricFormatting::bytes(double(disk.availableBytes)));
    add(g, tr("Doluluk"),
        disk.totalBytes > 0 ? MetricFormatting::percentage(
                                  double(disk.totalBytes - std::min(disk.availableBytes, disk.totalBytes)) /
                                      double(disk.totalBytes),
                                  1)
                            : MetricFormatting::unavailableText());
    return g;
}

PresentationGroup batteryGroup(const BatteryStats& battery) {
    PresentationGroup g = group("battery", tr("Batarya"), battery.availability);
    if (!g.isAvailable)
        return g;
    if (!battery.isPresent) {
        g.note = tr("Bu bilgisayarda batarya bulunmuyor.");
        return g;
    }
    add(g, tr("Şarj"), MetricFormatting::percentage(battery.chargeFraction, 0));
    QString state = battery.isFullyCharged                      ? tr("Tam dolu")
                    : battery.isCharging                        ? tr("Şarj oluyor")
                    : battery.isConnectedToPowerAdapter == true ? tr("Prize bağlı, şarj olmuyor")
                                                                : tr("Batarya ile çalışıyor");
    add(g, tr("Durum"), state);
    add(g, battery.isCharging ? tr("Dolmasına kalan") : tr("Kalan süre"),
        battery.timeRemainingMinutes ? MetricFormatting::minutes(*battery.timeRemainingMinutes)
                                     : tr("Hesaplanıyor"));
    add(g, tr("Sağlık"), MetricFormatting::batteryCondition(battery.healthCondition));
    add(g, tr("Sıcaklık"), MetricFormatting::temperature(battery.temperatureCelsius));
    add(g, tr("Voltaj"), MetricFormatting::voltage(battery.voltageVolts));
    add(g, tr("Akım"), MetricFormatting::amperage(battery.amperageAmps));
    add(g, tr("Güç kaynağı"),
        !battery.isConnectedToPowerAdapter   ? MetricFormatting::unavailableText()
        : *battery.isConnectedToPowerAdapter ? tr("Güç adaptörü")
                                             : tr("Batarya"));
    return g;
}

PresentationGroup thermalGroup(ThermalLevel level) {
    PresentationGroup g;
    g.key = QStringLiteral("thermal");
    g.title = tr("Isıl durum");
    g.isAvailable = level != ThermalLevel::unavailable;
    if (!g.isAvailable) {
        g.note = tr("Bu sistem okunabilir bir ısıl baskı sinyali sunmuyor.");
        return g;
    }
    add(g, tr("Isıl baskı"), thermalLevelLabel(level));
    return g;
}

PresentationGroup networkGroup(const NetworkStats& network) {
    PresentationGroup g = group("network", tr("Ağ"), network.pathAvailability);
    if (!g.isAvailable)
        return g;
    add(g, tr("Bağlantı"), network.isConnected ? tr("Bağlı") : tr("Bağlı değil"));
    if (!network.isConnected)
        return g;
    add(g, tr("Arayüz türü"), L10n::string(rawValue(network.interfaceKind)));
    if (network.trafficAvailability.isAvailable()) {
        add(g, tr("İndirme"), MetricFormatting::rate(network.downloadBytesPerSecond));
        add(g, tr("Yükleme"), MetricFormatting::rate(network.uploadBytesPerSecond));
    } else {
        add(g, tr("Trafik"), L10n::localizedFragment(network.trafficAvailability.reason));
    }
    add(g, tr("IPv4"), yesNo(network.supportsIPv4));
    add(g, tr("IPv6"), yesNo(network.supportsIPv6));
    add(g, tr("DNS"), yesNo(network.supportsDNS));
    add(g, tr("Ücretli bağlantı"), yesNo(network.isExpensive));
    if (network.interfaceKind == NetworkInterfaceKind::wifi) {
        add(g, tr("Wi-Fi sinyali"), dBm(network.wifiRSSI));
        add(g, tr("Gürültü"), dBm(network.wifiNoise));
        add(g, tr("Aktarım hızı"),
            network.wifiTransmitRateMbps
                ? MetricFormatting::number(*network.wifiTransmitRateMbps, 0) + QStringLiteral(" Mbps")
                : MetricFormatting::unavailableText());
        add(g, tr("Kanal"),
            network.wifiChannel ? QString::number(*network.wifiChannel)
                                : MetricFormatting::unavailableText());
        for (PresentationRow& row : wifiDetailRows(network.wifiConnectionDetails))
            g.rows.push_back(std::move(row));
    }
    for (PresentationRow& row : connectionDetailRows(network.connectionDetails))
        g.rows.push_back(std::move(row));
    return g;
}

QString orUnavailable(const std::optional<QString>& value) {
    return value ? *value : MetricFormatting::unavailableText();
}

PresentationGroup gpuGroup(const GPUStats& gpu) {
    PresentationGroup g;
    g.key = QStringLiteral("gpu");
    g.title = tr("Grafik işlemcisi");
    g.isAvailable = gpu.name.has_value();
    if (!g.isAvailable) {
        // Without a device there is nothing else to show: the reason says why.
        g.note = L10n::localizedFragment(gpu.systemUtilizationAvailability.reason);
        return g;
    }
    add(g, tr("Ad"), *gpu.name);
    add(g, tr("Bellek mimarisi"), gpu.hasUnifiedMemory ? tr("Birleşik bellek") : tr("Ayrı grafik belleği"));
    add(g, tr("Ayrılmış bellek"),
        gpu.currentMetalResourceBytes ? MetricFormatting::bytes(double(*gpu.currentMetalResourceBytes))
                                      : MetricFormatting::unavailableText());
    add(g, tr("Kullanım"),
        gpu.systemUtilizationAvailability.isAvailable()
            ? MetricFormatting::percentage(gpu.systemUtilizationFraction, 0)
            : L10n::localizedFragment(gpu.systemUtilizationAvailability.reason));
    return g;
}

PresentationGroup fanGroup(const FanStats& fans) {
    PresentationGroup g = group("fans", tr("Fanlar"), fans.availability);
    if (!g.isAvailable)
        return g;
    if (fans.readings.empty())
        g.note = tr("Bu bilgisayarda fan yok.");
    const auto rpm = [](double value) { return MetricFormatting::number(value, 0) + QStringLiteral(" rpm"); };
    for (const FanReading& fan : fans.readings) {
        // The speed, then whatever the driver tells about the fan's target and limits.
        QStringList parts{rpm(fan.actualRPM)};
        if (fan.targetRPM)
            parts.append(L10n::string(trTemplate("hedef \\(speed)", {rpm(*fan.targetRPM)})));
        if (fan.minimumRPM && fan.maximumRPM)
            parts.append(L10n::string(
                trTemplate("aralık \\(minimum)–\\(maximum)", {rpm(*fan.minimumRPM), rpm(*fan.maximumRPM)})));
        if (fan.isManual)
            parts.append(tr("elle yönetiliyor"));
        g.rows.push_back({L10n::string(trTemplate("Fan \\(index)", {QString::number(fan.index + 1)})),
                          parts.join(QStringLiteral(" · "))});
    }
    return g;
}

PresentationGroup temperatureGroup(const ComponentTemperatureStats& temps) {
    PresentationGroup g = group("temperatures", tr("Bileşen sıcaklıkları"), temps.availability);
    if (!g.isAvailable)
        return g;
    add(g, tr("CPU en sıcak nokta"), MetricFormatting::temperature(temps.cpuHotspotCelsius));
    add(g, tr("CPU ortalama"), MetricFormatting::temperature(temps.cpuAverageCelsius));
    add(g, tr("GPU en sıcak nokta"), MetricFormatting::temperature(temps.gpuHotspotCelsius));
    add(g, tr("GPU ortalama"), MetricFormatting::temperature(temps.gpuAverageCelsius));
    return g;
}

} // namespace

QString thermalLevelText(ThermalLevel level) {
    switch (level) {
    case ThermalLevel::nominal:
        return trText("Normal");
    case ThermalLevel::fair:
        return trText("Hafif yüksek");
    case ThermalLevel::serious:
        return trText("Ciddi");
    case ThermalLevel::critical:
        return trText("Kritik");
    case ThermalLevel::unavailable:
        break;
    }
    return trText("Kullanılamıyor");
}

QString thermalLevelLabel(ThermalLevel level) {
    return L10n::string(thermalLevelText(level));
}

QString yesNo(bool value) {
    return value ? tr("Evet") : tr("Hayır");
}

std::vector<PresentationRow> wifiDetailRows(const WiFiConnectionDetails& d) {
    const QString unavailable = MetricFormatting::unavailableText();
    return {
        {tr("Ağ adı (SSID)"), orUnavailable(d.networkName)},
        {tr("Erişim noktası (BSSID)"), orUnavailable(d.accessPointIdentifier)},
        {tr("Standart"), d.standard ? L10n::string(displayName(*d.standard)) : unavailable},
        {tr("Bant"), d.band ? L10n::string(rawValue(*d.band)) : unavailable},
        {tr("Kanal genişliği"),
         d.channelWidthMHz ? QStringLiteral("%1 MHz").arg(*d.channelWidthMHz) : unavailable},
        {tr("Güvenlik"), d.security ? L10n::string(rawValue(*d.security)) : unavailable},
        {tr("Ülke kodu"), orUnavailable(d.countryCode)},
    };
}

std::vector<PresentationRow> connectionDetailRows(const NetworkConnectionDetails& c) {
    const std::vector<QString>& dns = c.dnsServerAddresses;
    return {
        {tr("Birincil arayüz"), orUnavailable(c.primaryInterfaceName)},
        {tr("Yerel IPv4"), orUnavailable(c.localIPv4Address)},
        {tr("Yerel IPv6"), orUnavailable(c.localIPv6Address)},
        {tr("Yönlendirici (IPv4)"), orUnavailable(c.routerIPv4Address)},
        {tr("Yönlendirici (IPv6)"), orUnavailable(c.routerIPv6Address)},
        {tr("DNS sunucuları"), dns.empty() ? MetricFormatting::unavailableText()
                                           : QStringList(dns.begin(), dns.end()).join(QStringLiteral(", "))},
    };
}

std::vector<PresentationGroup> groups(const SystemSnapshot& snapshot) {
    return {cpuGroup(snapshot.cpu),
            memoryGroup(snapshot.memory),
            diskGroup(snapshot.disk),
            batteryGroup(snapshot.battery),
            thermalGroup(snapshot.thermal),
            networkGroup(snapshot.network),
            gpuGroup(snapshot.gpu),
            fanGroup(snapshot.fan),
            temperatureGroup(snapshot.componentTemperatures)};
}

} // namespace kestrum::SnapshotPresentation
