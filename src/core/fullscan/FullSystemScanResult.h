#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"
#include "healthtests/HealthTestResult.h"
#include "measurement/HealthLevel.h"

#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

namespace kestrum {

enum class FullSystemScanPhase {
    preparing,
    hardware,
    quickHealth,
    deepHealth,
    networkQuality,
    internetSpeed,
    aiReport
};

template <> struct EnumTraits<FullSystemScanPhase> {
    static constexpr std::pair<FullSystemScanPhase, std::string_view> cases[] = {
        {FullSystemScanPhase::preparing, "preparing"},
        {FullSystemScanPhase::hardware, "hardware"},
        {FullSystemScanPhase::quickHealth, "quickHealth"},
        {FullSystemScanPhase::deepHealth, "deepHealth"},
        {FullSystemScanPhase::networkQuality, "networkQuality"},
        {FullSystemScanPhase::internetSpeed, "internetSpeed"},
        {FullSystemScanPhase::aiReport, "aiReport"},
    };
};

struct FullSystemScanProgress {
    static constexpr int kTotalSteps = 7;
    static constexpr double kEstimatedDuration = 545;

    FullSystemScanPhase phase = FullSystemScanPhase::preparing;
    int completedSteps = 0;
    int totalSteps = kTotalSteps;
    Date startedAt;
    double estimatedDuration = kEstimatedDuration; // seconds
    bool operator==(const FullSystemScanProgress&) const = default;
};

enum class FullSystemScanReportMode { evidenceOnly, onDeviceAI };

template <> struct EnumTraits<FullSystemScanReportMode> {
    static constexpr std::pair<FullSystemScanReportMode, std::string_view> cases[] = {
        {FullSystemScanReportMode::evidenceOnly, "evidenceOnly"},
        {FullSystemScanReportMode::onDeviceAI, "onDeviceAI"},
    };
};

// Also the order of a result's components.
enum class FullSystemScanComponentKind {
    hardware,
    systemHealth,
    quickHealth,
    deepHealth,
    battery,
    thermal,
    storage,
    wifi,
    networkQuality,
    internetSpeed,
    aiAnalysis
};

template <> struct EnumTraits<FullSystemScanComponentKind> {
    static constexpr std::pair<FullSystemScanComponentKind, std::string_view> cases[] = {
        {FullSystemScanComponentKind::hardware, "hardware"},
        {FullSystemScanComponentKind::systemHealth, "systemHealth"},
        {FullSystemScanComponentKind::quickHealth, "quickHealth"},
        {FullSystemScanComponentKind::deepHealth, "deepHealth"},
        {FullSystemScanComponentKind::battery, "battery"},
        {FullSystemScanComponentKind::thermal, "thermal"},
        {FullSystemScanComponentKind::storage, "storage"},
        {FullSystemScanComponentKind::wifi, "wifi"},
        {FullSystemScanComponentKind::networkQuality, "networkQuality"},
        {FullSystemScanComponentKind::internetSpeed, "internetSpeed"},
        {FullSystemScanComponentKind::aiAnalysis, "aiAnalysis"},
    };
};

enum class FullSystemScanComponentState { completed, unavailable, skipped, failed };

template <> struct EnumTraits<FullSystemScanComponentState> {
    static constexpr std::pair<FullSystemScanComponentState, std::string_view> cases[] = {
        {FullSystemScanComponentState::completed, "completed"},
        {FullSystemScanComponentState::unavailable, "unavailable"},
        {FullSystemScanComponentState::skipped, "skipped"},
        {FullSystemScanComponentState::failed, "failed"},
    };
};

enum class FullSystemScanFindingCategory {
    general,
    processor,
    graphics,
    memory,
    storage,
    battery,
    thermal,
    network
};

template <> struct EnumTraits<FullSystemScanFindingCategory> {
    static constexpr std::pair<FullSystemScanFindingCategory, std::string_view> cases[] = {
        {FullSystemScanFindingCategory::general, "general"},
        {FullSystemScanFindingCategory::processor, "processor"},
        {FullSystemScanFindingCategory::graphics, "graphics"},
        {FullSystemScanFindingCategory::memory, "memory"},
        {FullSystemScanFindingCategory::storage, "storage"},
        {FullSystemScanFindingCategory::battery, "battery"},
        {FullSystemScanFindingCategory::thermal, "thermal"},
        {FullSystemScanFindingCategory::network, "network"},
    };
};

struct FullSystemScanComponentResult {
    FullSystemScanComponentKind kind = FullSystemScanComponentKind::hardware;
    FullSystemScanComponentState state = FullSystemScanComponentState::skipped;
    std::optional<int> score; // 0...100; absent when the component is not scored
    QString simpleExplanation;
    QString technicalEvidence;
    bool operator==(const FullSystemScanComponentResult&) const = default;
};

struct FullSystemScanFinding {
    QString id; // stable: "no-confirmed-issue", "current-health-assessment", "component-failed-<kind>", …
    FullSystemScanFindingCategory category = FullSystemScanFindingCategory::general;
    HealthLevel level = HealthLevel::normal;
    QString title;
    QString simpleExplanation;
    QString technicalEvidence;
    QString recommendation;
    bool operator==(const FullSystemScanFinding&) const = default;
};

// One full system scan as the history keeps it.
struct FullSystemScanResult {
    QUuid id;
    Date startedAt;
    Date endedAt;
    std::optional<int> overallScore;
    HealthTestConfidence confidence = HealthTestConfidence::low;
    FullSystemScanReportMode mode = FullSystemScanReportMode::evidenceOnly;
    QString simpleSummary;
    QString technicalSummary;
    std::optional<QString> aiExplanation;
    std::vector<FullSystemScanComponentResult> components;
    std::vector<FullSystemScanFinding> findings;
    QString privacyNote;

    int completedComponentCount() const;
    // Any component not completed.
    bool isPartial() const;
    const FullSystemScanComponentResult* component(FullSystemScanComponentKind kind) const;
    bool operator==(const FullSystemScanResult&) const = default;
};

QJsonValue fullSystemScanResultToJson(const FullSystemScanResult& result);
// Throws KestrumError ("decoding") naming the field.
FullSystemScanResult fullSystemScanResultFromJson(const QJsonValue& value);
QJsonValue fullSystemScanProgressToJson(const FullSystemScanProgress& progress);

} // namespace kestrum
