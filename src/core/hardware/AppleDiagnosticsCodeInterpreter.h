#pragma once

#include "measurement/HealthLevel.h"

#include <QString>
#include <optional>

namespace kestrum {

// What a typed-in Apple Diagnostics reference code means, in the words of the published code list.
struct AppleDiagnosticsCodeResult {
    QString code; // the cleaned code
    HealthLevel level = HealthLevel::unavailable;
    QString title;
    QString explanation;
    QString recommendedAction;
    bool operator==(const AppleDiagnosticsCodeResult&) const = default;
};

// A local, deliberately limited guide: it never claims more than the published meaning of a code.
namespace AppleDiagnosticsCodeInterpreter {

// Upper case, letters and digits only (other scripts' digits and full-width forms become ASCII), at most
// 16 characters. Empty when nothing is left.
QString clean(const QString& input);
// Absent when the cleaned code is empty.
std::optional<AppleDiagnosticsCodeResult> interpret(const QString& input);

} // namespace AppleDiagnosticsCodeInterpreter

} // namespace kestrum
