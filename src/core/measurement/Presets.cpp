// The shared preset values of the measurement records.

#include "BatteryStats.h"
#include "CPUStats.h"
#include "ComponentTemperatureStats.h"
#include "DiskStats.h"
#include "FanStats.h"
#include "GPUStats.h"
#include "MemoryStats.h"
#include "NetworkPathSnapshot.h"
#include "NetworkStats.h"
#include "SystemSnapshot.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

namespace kestrum {

CPUStats CPUStats::empty() {
    return CPUStats{0, {}, {}, MetricAvailability::unavailable(trText("CPU kullanımı okunamadı."))};
}

MemoryStats MemoryStats::unreadable() {
    return MemoryStats{0, 0, 0, 0, MetricAvailability::unavailable(trText("Bellek kullanımı okunamadı."))};
}

DiskStats DiskStats::unreadable() {
    return DiskStats{0, 0, MetricAvailability::unavailable(trText("Disk kapasitesi okunamadı."))};
}

BatteryStats BatteryStats::notPresent(MetricAvailability availability) {
    BatteryStats stats;
    stats.availability = std::move(availability);
    return stats;
}

FanStats FanStats::unavailable() {
    return FanStats{
        {}, MetricAvailability::unavailable(trText("Fan telemetrisi bu dağıtım kanalında sunulmuyor."))};
}

ComponentTemperatureStats ComponentTemperatureStats::notOffered() {
    ComponentTemperatureStats stats;
    stats.availability =
        MetricAvailability::unavailable(trText("CPU/GPU sıcaklıkları bu dağıtım kanalında sunulmuyor."));
    return stats;
}

QString gpuUtilizationNotPublicReason() {
    return trText("macOS, sistem genelindeki GPU kullanımını herkese açık bir arayüzle sunmuyor.");
}

NetworkPathSnapshot NetworkPathSnapshot::unavailable() {
    NetworkPathSnapshot path;
    path.availability = MetricAvailability::unavailable(trText("Ağ durumu henüz okunamadı."));
    return path;
}

NetworkPathSnapshot NetworkPathSnapshot::disconnected() {
    return NetworkPathSnapshot{};
}

NetworkStats NetworkStats::disconnected() {
    return NetworkStats{};
}

NetworkStats NetworkStats::unavailable() {
    NetworkStats stats;
    stats.pathAvailability = MetricAvailability::unavailable(trText("Ağ durumu henüz okunamadı."));
    stats.trafficAvailability = MetricAvailability::unavailable(trText("Ağ trafiği henüz okunamadı."));
    return stats;
}

SystemSnapshot SystemSnapshot::empty(QUuid id, Date timestamp) {
    SystemSnapshot snapshot;
    snapshot.id = id;
    snapshot.timestamp = timestamp;
    snapshot.cpu = CPUStats::empty();
    snapshot.memory = MemoryStats::unreadable();
    snapshot.battery =
        BatteryStats::notPresent(MetricAvailability::unavailable(trText("Batarya bilgisi okunamadı.")));
    snapshot.disk = DiskStats::unreadable();
    snapshot.thermal = ThermalLevel::unavailable;
    snapshot.network = NetworkStats::disconnected();
    snapshot.gpu = GPUStats{std::nullopt, true, std::nullopt, std::nullopt,
                            MetricAvailability::unavailable(gpuUtilizationNotPublicReason())};
    snapshot.fan = FanStats::unavailable();
    snapshot.componentTemperatures = ComponentTemperatureStats::notOffered();
    return snapshot;
}

SystemSnapshot SystemSnapshot::empty() {
    return empty(newUuid(), Date::now());
}

} // namespace kestrum
