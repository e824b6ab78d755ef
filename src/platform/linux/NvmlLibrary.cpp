#include "NvmlLibrary.h"

#include "foundation/Logging.h"

#include <dlfcn.h>
#include <mutex>

namespace kestrum {

namespace {
using nvmlReturn = int;
using nvmlDevice = void*;
struct nvmlUtilization {
    unsigned int gpu;
    unsigned int memory;
};
struct nvmlMemory {
    unsigned long long total;
    unsigned long long free;
    unsigned long long used;
};
} // namespace

struct NvmlLibrary::Api {
    nvmlReturn (*init)() = nullptr;
    nvmlReturn (*shutdown)() = nullptr;
    nvmlReturn (*byIndex)(unsigned int, nvmlDevice*) = nullptr;
    nvmlReturn (*byBusId)(const char*, nvmlDevice*) = nullptr;
    nvmlReturn (*name)(nvmlDevice, char*, unsigned int) = nullptr;
    nvmlReturn (*utilization)(nvmlDevice, nvmlUtilization*) = nullptr;
    nvmlReturn (*memory)(nvmlDevice, nvmlMemory*) = nullptr;
    mutable std::mutex mutex;
};

std::shared_ptr<NvmlLibrary> NvmlLibrary::load() {
    void* handle = ::dlopen("libnvidia-ml.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    std::shared_ptr<NvmlLibrary> library(new NvmlLibrary());
    library->m_handle = handle;
    library->m_api = std::make_unique<Api>();
    Api& api = *library->m_api;
    const auto symbol = [&](auto& target, const char* name) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(::dlsym(handle, name));
    };
    symbol(api.init, "nvmlInit_v2");
    symbol(api.shutdown, "nvmlShutdown");
    symbol(api.byIndex, "nvmlDeviceGetHandleByIndex_v2");
    symbol(api.byBusId, "nvmlDeviceGetHandleByPciBusId_v2");
    symbol(api.name, "nvmlDeviceGetName");
    symbol(api.utilization, "nvmlDeviceGetUtilizationRates");
    symbol(api.memory, "nvmlDeviceGetMemoryInfo");
    if (!api.init || !api.shutdown || !api.byIndex || api.init() != 0) {
        qCInfo(lcPlatform) << "NVML present but could not be initialised";
        api.shutdown = nullptr;
        return nullptr; // the destructor closes the handle
    }
    return library;
}

NvmlLibrary::~NvmlLibrary() {
    if (m_api && m_api->shutdown)
        m_api->shutdown();
    if (m_handle)
        ::dlclose(m_handle);
}

std::optional<NvmlLibrary::Reading> NvmlLibrary::read(const QString& pciBusId) const {
    std::lock_guard lock(m_api->mutex);
    nvmlDevice device = nullptr;
    nvmlReturn status = -1;
    if (!pciBusId.isEmpty() && m_api->byBusId)
        status = m_api->byBusId(pciBusId.toLatin1().constData(), &device);
    if (status != 0)
        status = m_api->byIndex(0, &device);
    if (status != 0 || !device)
        return std::nullopt;
    Reading reading;
    char name[96] = {};
    if (m_api->name && m_api->name(device, name, sizeof name) == 0 && name[0])
        reading.name = QString::fromUtf8(name);
    nvmlUtilization utilization{};
    if (m_api->utilization && m_api->utilization(device, &utilization) == 0 && utilization.gpu <= 100)
        reading.utilizationFraction = utilization.gpu / 100.0;
    nvmlMemory memory{};
    if (m_api->memory && m_api->memory(device, &memory) == 0)
        reading.usedMemoryBytes = memory.used;
    return reading;
}

} // namespace kestrum
