#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace kestrum {

// NVIDIA's management library, loaded at run time with dlopen (never linked): absent on machines
// without the proprietary driver.
class NvmlLibrary {
public:
    struct Reading {
        std::optional<QString> name;
        std::optional<double> utilizationFraction;
        std::optional<uint64_t> usedMemoryBytes;
    };

    static std::shared_ptr<NvmlLibrary> load();
    ~NvmlLibrary();

    // The device on the given PCI bus ("0000:01:00.0"), or the first device when the id is empty.
    std::optional<Reading> read(const QString& pciBusId) const;

private:
    NvmlLibrary() = default;
    struct Api;
    void* m_handle = nullptr;
    std::unique_ptr<Api> m_api;
};

} // namespace kestrum
