#pragma once

#include "HardwareServiceability.h"
#include "OriginalPartReference.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace kestrum {

struct CatalogPart {
    HardwareComponentKind componentKind = HardwareComponentKind::processor;
    QString componentName;
    QString partNumber;
    PartApplicability applicability = PartApplicability::exact;
    std::optional<QString> note;
    bool operator==(const CatalogPart&) const = default;
};

struct LogicBoardConfiguration {
    int memoryGigabytes = 0;
    int storageGigabytes = 0;
    QString partNumber;
    bool operator==(const LogicBoardConfiguration&) const = default;
};

// One hand-verified model: its configurations and the service parts published for it.
struct MacModelCatalogEntry {
    std::set<QString> modelIdentifiers;
    QString modelName;
    int introductionYear = 0;
    QString displayName;
    QString coolingName;
    MemoryArchitecture memoryArchitecture;
    std::vector<int> memoryOptionsGigabytes;
    StorageArchitecture storageArchitecture;
    std::vector<int> storageOptionsGigabytes;
    QString repairManualID;
    QString sourceURL;
    QString sourceTitle;
    Date verifiedAt;
    std::vector<CatalogPart> parts;
    std::vector<LogicBoardConfiguration> logicBoards;

    // Every part with the entry's source, plus the logic board of exactly this memory and storage
    // size when one exists; sorted by kind (raw text), then part number.
    std::vector<OriginalPartReference> resolvedParts(std::optional<uint64_t> memoryBytes,
                                                     std::optional<uint64_t> storageBytes) const;
    // The option closest to the decimal gigabytes of `bytes`; the earlier option wins a tie.
    static std::optional<int> nearestStorageGigabytes(uint64_t bytes, const std::vector<int>& options);

    bool operator==(const MacModelCatalogEntry&) const = default;
};

// The models the application knows, compiled in; nothing is downloaded.
struct MacHardwareCatalog {
    std::vector<MacModelCatalogEntry> entries = defaultEntries();

    // The first entry listing the identifier exactly (case-sensitive).
    std::optional<MacModelCatalogEntry> entry(const QString& modelIdentifier) const;

    static const std::vector<MacModelCatalogEntry>& defaultEntries();
};

} // namespace kestrum
