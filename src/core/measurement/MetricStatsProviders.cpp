#include "MetricStatsProviders.h"

#include "CPUUsageCalculator.h"
#include "DiskStatsCalculator.h"
#include "MemoryStatsCalculator.h"
#include "NetworkRateCalculator.h"
#include "foundation/Translatable.h"

#include <cmath>

namespace kestrum {

CPUStatsProvider::CPUStatsProvider(std::unique_ptr<CPUTickReading> reader) : m_reader(std::move(reader)) {}

CPUStats CPUStatsProvider::sample() {
    std::lock_guard lock(m_mutex);
    auto current = m_reader->read();
    if (!current)
        return CPUStats::empty(); // the previous snapshot stays as it was
    CPUStats stats = CPUUsageCalculator::stats(*current, m_previousSnapshot);
    m_previousSnapshot = std::move(current);
    return stats;
}

MachMemoryStatsProvider::MachMemoryStatsProvider(std::unique_ptr<MachMemorySnapshotReading> reader)
    : m_reader(std::move(reader)) {}

MemoryStats MachMemoryStatsProvider::sample() {
    const auto snapshot = m_reader->read();
    if (!snapshot)
        return MemoryStats::unreadable();
    return MemoryStatsCalculator::stats(*snapshot);
}

URLResourceDiskStatsProvider::URLResourceDiskStatsProvider(std::unique_ptr<DiskCapacityReading> reader)
    : m_reader(std::move(reader)) {}

DiskStats URLResourceDiskStatsProvider::sample() {
    const auto capacity = m_reader->read();
    if (!capacity)
        return DiskStats::unreadable();
    return DiskStatsCalculator::stats(capacity->totalBytes, capacity->importantAvailableBytes,
                                      capacity->fallbackAvailableBytes);
}

NetworkStatsProvider::NetworkStatsProvider(
    std::shared_ptr<NetworkPathSnapshotProviding> pathProvider,
    std::unique_ptr<NetworkByteCounterReading> counterReader,
    std::unique_ptr<WiFiLinkMetricsProviding> wifiProvider,
    std::unique_ptr<NetworkConnectionDetailsProviding> connectionDetailsProvider, MonotonicClock uptime)
    : m_pathProvider(std::move(pathProvider)), m_counterReader(std::move(counterReader)),
      m_wifiProvider(std::move(wifiProvider)),
      m_connectionDetailsProvider(std::move(connectionDetailsProvider)), m_uptime(std::move(uptime)) {}

std::optional<NetworkStatsProvider::Baseline> NetworkStatsProvider::baseline() const {
    std::lock_guard lock(m_mutex);
    return m_baseline;
}

NetworkStats NetworkStatsProvider::sample() {
    std::lock_guard lock(m_mutex);
    const NetworkPathSnapshot path = m_pathProvider->latestSnapshot();
    if (!path.availability.isAvailable()) {
        NetworkStats stats = NetworkStats::unavailable();
        stats.pathAvailability = path.availability;
        return stats;
    }
    if (!path.isConnected) {
        m_baseline.reset();
        return NetworkStats::disconnected();
    }

    NetworkStats stats;
    stats.isConnected = true;
    stats.interfaceKind = path.interfaceKind;
    stats.supportsIPv4 = path.supportsIPv4;
    stats.supportsIPv6 = path.supportsIPv6;
    stats.supportsDNS = path.supportsDNS;
    stats.isExpensive = path.isExpensive;
    stats.isConstrained = path.isConstrained;
    stats.pathAvailability = MetricAvailability::available();

    // The Wi-Fi query runs only when the path uses Wi-Fi.
    if (path.interfaceKind == NetworkInterfaceKind::wifi) {
        const WiFiLinkMetrics link = m_wifiProvider->read();
        stats.wifiRSSI = link.rssi;
        stats.wifiNoise = link.noise;
        stats.wifiTransmitRateMbps = link.transmitRateMbps;
        stats.wifiChannel = link.channel;
        stats.wifiConnectionDetails = link.details;
    }
    stats.connectionDetails = m_connectionDetailsProvider->read(path.interfaceNames);

    const auto counter = m_counterReader->read(path.interfaceNames);
    if (!counter) {
        stats.trafficAvailability = MetricAvailability::unavailable(trText("Ağ trafik sayaçları okunamadı."));
        return stats;
    }
    const double now = m_uptime();
    if (!std::isfinite(now)) {
        stats.trafficAvailability =
            MetricAvailability::unavailable(trText("Ağ trafik ölçüm zamanı okunamadı."));
        return stats;
    }
    if (m_baseline && m_baseline->interfaceNames == path.interfaceNames && now > m_baseline->timestamp) {
        const auto [download, upload] =
            NetworkRateCalculator::bytesPerSecond(*counter, m_baseline->counter, now - m_baseline->timestamp);
        stats.downloadBytesPerSecond = download;
        stats.uploadBytesPerSecond = upload;
        stats.trafficAvailability = MetricAvailability::available();
    } else {
        stats.trafficAvailability =
            MetricAvailability::unavailable(trText("Ağ trafik hızı için başlangıç ölçümü alındı."));
    }
    m_baseline = Baseline{*counter, now, path.interfaceNames};
    return stats;
}

} // namespace kestrum
