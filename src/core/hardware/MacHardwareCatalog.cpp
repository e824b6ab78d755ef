#include "MacHardwareCatalog.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

QString OriginalPartReference::id() const {
    return rawValue(componentKind) + u':' + partNumber;
}

std::optional<int> MacModelCatalogEntry::nearestStorageGigabytes(uint64_t bytes,
                                                                 const std::vector<int>& options) {
    if (options.empty())
        return std::nullopt;
    if (options.size() == 1)
        return options.front();
    const double gigabytes = static_cast<double>(bytes) / 1e9;
    int best = options.front();
    double bestDistance = std::abs(best - gigabytes);
    for (const int option : options) {
        const double distance = std::abs(option - gigabytes);
        if (distance < bestDistance) { // strictly closer: the earlier option keeps a tie
            best = option;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<OriginalPartReference>
MacModelCatalogEntry::resolvedParts(std::optional<uint64_t> memoryBytes,
                                    std::optional<uint64_t> storageBytes) const {
    std::vector<OriginalPartReference> references;
    references.reserve(parts.size() + 1);
    for (const CatalogPart& part : parts) {
        references.push_back({part.componentKind, part.componentName, part.partNumber, part.applicability,
                              part.note, sourceURL, sourceTitle, verifiedAt});
    }
    std::optional<long long> memoryGigabytes;
    if (memoryBytes)
        memoryGigabytes = roundedInteger(static_cast<double>(*memoryBytes) / 1073741824.0);
    std::optional<int> storageGigabytes;
    if (storageBytes)
        storageGigabytes = nearestStorageGigabytes(*storageBytes, storageOptionsGigabytes);
    if (memoryGigabytes && storageGigabytes) {
        const auto board =
            std::find_if(logicBoards.begin(), logicBoards.end(), [&](const LogicBoardConfiguration& b) {
                return b.memoryGigabytes == *memoryGigabytes && b.storageGigabytes == *storageGigabytes;
            });
        if (board != logicBoards.end()) {
            references.push_back(
                {HardwareComponentKind::processor,
                 trTemplate("Ana kart — M5, \\(memoryGB) GB bellek, \\(storageGB) GB SSD",
                            {QString::number(*memoryGigabytes), QString::number(*storageGigabytes)}),
                 board->partNumber, PartApplicability::configurationMatched,
                 trText("İşlemci, grafik birimi, birleşik bellek ve SSD bu ana kart yapılandırmasının "
                        "parçalarıdır."),
                 sourceURL, sourceTitle, verifiedAt});
        }
    }
    std::stable_sort(references.begin(), references.end(),
                     [](const OriginalPartReference& a, const OriginalPartReference& b) {
                         const QString kindA = rawValue(a.componentKind);
                         const QString kindB = rawValue(b.componentKind);
                         if (kindA != kindB)
                             return kindA < kindB;
                         return a.partNumber < b.partNumber;
                     });
    return references;
}

std::optional<MacModelCatalogEntry> MacHardwareCatalog::entry(const QString& modelIdentifier) const {
    for (const MacModelCatalogEntry& candidate : entries) {
        if (candidate.modelIdentifiers.count(modelIdentifier))
            return candidate;
    }
    return std::nullopt;
}

} // namespace kestrum
