#pragma once

#include "measurement/MetricAvailability.h"

#include <QString>
#include <optional>

namespace kestrum {

// The application in front: its shown name and, where the desktop knows it, its identifier (the
// desktop entry's id on Linux). Never a window title: titles carry documents' names.
struct ForegroundApplication {
    QString name;
    std::optional<QString> bundleIdentifier;

    bool operator==(const ForegroundApplication&) const = default;

    // The longest name kept; a hostile window class cannot fill the screen.
    static constexpr qsizetype kMaximumNameLength = 64;
    static constexpr qsizetype kMaximumIdentifierLength = 255;

    // A name as it may be shown: control and format characters dropped, runs of white space made one
    // space, trimmed, a path reduced to its last part, cut at the maximum length.
    static QString sanitizedName(const QString& raw);
    static QString sanitizedIdentifier(const QString& raw);

    // The application to report, or none: a name that is empty once sanitised, the excluded identifier
    // (Kestrum's own), or a name that is "Kestrum" in any letter case.
    static std::optional<ForegroundApplication>
    accepted(const QString& name, const std::optional<QString>& bundleIdentifier,
             const std::optional<QString>& excludedBundleIdentifier);
};

// Tells which application is in front. Called on the main thread once per live sample: it answers from
// what it already knows and never waits.
class ForegroundApplicationProviding {
public:
    virtual ~ForegroundApplicationProviding() = default;
    virtual std::optional<ForegroundApplication> currentApplication() = 0;
    // Whether the foreground application can be known here at all, and if not, why (Turkish).
    virtual MetricAvailability availability() const = 0;
};

// For platforms and sessions where nothing tells the foreground application.
class UnavailableForegroundApplicationProvider : public ForegroundApplicationProviding {
public:
    explicit UnavailableForegroundApplicationProvider(QString reason) : m_reason(std::move(reason)) {}
    std::optional<ForegroundApplication> currentApplication() override { return std::nullopt; }
    MetricAvailability availability() const override { return MetricAvailability::unavailable(m_reason); }

private:
    QString m_reason;
};

} // namespace kestrum
