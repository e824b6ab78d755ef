#pragma once

#include <QString>
#include <compare>
#include <optional>
#include <set>

namespace kestrum {

// Both ends belong to the range.
template <class T> struct ClosedRange {
    T lower{};
    T upper{};

    bool contains(const T& value) const { return !(value < lower) && !(upper < value); }
    bool isEmpty() const { return upper < lower; }
    bool operator==(const ClosedRange&) const = default;
};

// A kernel's release series: 6.1 of "6.1.0-18-amd64".
struct KernelSeries {
    int major = 0;
    int minor = 0;

    // "6.1.0-18-amd64", "6.9.12-400.asahi.fc40.aarch64", "5.15"; absent for anything else.
    static std::optional<KernelSeries> parse(const QString& release);
    QString text() const { return QStringLiteral("%1.%2").arg(major).arg(minor); }
    auto operator<=>(const KernelSeries&) const = default;
};

// What the compatibility records are matched against. On Linux a sensor "model" is the hwmon driver that
// exposes it (the device's `name`), the system version is the running kernel's major version and the
// build is its release series.
struct AdvancedTelemetrySystemIdentity {
    std::set<QString> modelIdentifiers; // the names of the hwmon devices present
    QString kernelRelease;              // as uname reports it
    int kernelMajorVersion = 0;
    KernelSeries kernelSeries;

    // Absent when the release cannot be parsed: then no record can match.
    static std::optional<AdvancedTelemetrySystemIdentity> make(std::set<QString> modelIdentifiers,
                                                               const QString& kernelRelease);
    bool operator==(const AdvancedTelemetrySystemIdentity&) const = default;
};

} // namespace kestrum
