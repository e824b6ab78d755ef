#pragma once

#include "HardwareComponentKind.h"
#include "foundation/Date.h"

#include <QString>
#include <optional>

namespace kestrum {

// How sure the catalog is that a part fits this machine.
enum class PartApplicability { exact, configurationMatched, requiresPhysicalVerification };

template <> struct EnumTraits<PartApplicability> {
    static constexpr std::pair<PartApplicability, std::string_view> cases[] = {
        {PartApplicability::exact, "exact"},
        {PartApplicability::configurationMatched, "configurationMatched"},
        {PartApplicability::requiresPhysicalVerification, "requiresPhysicalVerification"},
    };
};

// An orderable original part, with the document it was verified against.
struct OriginalPartReference {
    HardwareComponentKind componentKind = HardwareComponentKind::processor;
    QString componentName;
    QString partNumber;
    PartApplicability applicability = PartApplicability::exact;
    std::optional<QString> note;
    QString sourceURL;
    QString sourceTitle;
    Date verifiedAt;

    // "battery:661-55016"
    QString id() const;
    bool operator==(const OriginalPartReference&) const = default;
};

} // namespace kestrum
