#pragma once

#include "foundation/EnumTraits.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace kestrum {

// The closed catalogue of usage events. Every property is a category from a fixed list: an event never
// carries a measurement, a name, a path or an identifier of the machine.
enum class ProductAnalyticsEventName {
    firstSnapshotReady,
    activationStepCompleted,
    firstHealthSummaryReady,
    firstHealthSummaryViewed,
    testStartAccepted,
    testStartBlocked,
    testCompleted,
    testCancelled,
    testFailed,
    activeDay,
    scanReminderChanged,
    reportExportStarted,
    reportExportResult,
    analyticsConsentChanged,
};

template <> struct EnumTraits<ProductAnalyticsEventName> {
    static constexpr std::pair<ProductAnalyticsEventName, std::string_view> cases[] = {
        {ProductAnalyticsEventName::firstSnapshotReady, "first_snapshot_ready"},
        {ProductAnalyticsEventName::activationStepCompleted, "activation_step_completed"},
        {ProductAnalyticsEventName::firstHealthSummaryReady, "first_health_summary_ready"},
        {ProductAnalyticsEventName::firstHealthSummaryViewed, "first_health_summary_viewed"},
        {ProductAnalyticsEventName::testStartAccepted, "test_start_accepted"},
        {ProductAnalyticsEventName::testStartBlocked, "test_start_blocked"},
        {ProductAnalyticsEventName::testCompleted, "test_completed"},
        {ProductAnalyticsEventName::testCancelled, "test_cancelled"},
        {ProductAnalyticsEventName::testFailed, "test_failed"},
        {ProductAnalyticsEventName::activeDay, "active_day"},
        {ProductAnalyticsEventName::scanReminderChanged, "scan_reminder_changed"},
        {ProductAnalyticsEventName::reportExportStarted, "report_export_started"},
        {ProductAnalyticsEventName::reportExportResult, "report_export_result"},
        {ProductAnalyticsEventName::analyticsConsentChanged, "analytics_consent_changed"},
    };
};

// ---- the categories the properties take ----

enum class ProductAnalyticsTrigger { automaticMonitoring, manualRefresh };
template <> struct EnumTraits<ProductAnalyticsTrigger> {
    static constexpr std::pair<ProductAnalyticsTrigger, std::string_view> cases[] = {
        {ProductAnalyticsTrigger::automaticMonitoring, "automatic_monitoring"},
        {ProductAnalyticsTrigger::manualRefresh, "manual_refresh"},
    };
};

enum class ProductAnalyticsActivationStep { liveSnapshot, quickHealthTest, networkQuality };
template <> struct EnumTraits<ProductAnalyticsActivationStep> {
    static constexpr std::pair<ProductAnalyticsActivationStep, std::string_view> cases[] = {
        {ProductAnalyticsActivationStep::liveSnapshot, "live_snapshot"},
        {ProductAnalyticsActivationStep::quickHealthTest, "quick_health_test"},
        {ProductAnalyticsActivationStep::networkQuality, "network_quality"},
    };
};

// Also the scope of a test result: complete or partial.
enum class ProductAnalyticsCoverage { complete, partial };
template <> struct EnumTraits<ProductAnalyticsCoverage> {
    static constexpr std::pair<ProductAnalyticsCoverage, std::string_view> cases[] = {
        {ProductAnalyticsCoverage::complete, "complete"},
        {ProductAnalyticsCoverage::partial, "partial"},
    };
};

enum class ProductAnalyticsEntryPoint {
    overview,
    sidebar,
    battery,
    healthCenter,
    settings,
    notification,
    automatic
};
template <> struct EnumTraits<ProductAnalyticsEntryPoint> {
    static constexpr std::pair<ProductAnalyticsEntryPoint, std::string_view> cases[] = {
        {ProductAnalyticsEntryPoint::overview, "overview"},
        {ProductAnalyticsEntryPoint::sidebar, "sidebar"},
        {ProductAnalyticsEntryPoint::battery, "battery"},
        {ProductAnalyticsEntryPoint::healthCenter, "health_center"},
        {ProductAnalyticsEntryPoint::settings, "settings"},
        {ProductAnalyticsEntryPoint::notification, "notification"},
        {ProductAnalyticsEntryPoint::automatic, "automatic"},
    };
};

enum class ProductAnalyticsTestKind {
    quickHealth,
    fullSystemScan,
    networkQuality,
    networkSpeed,
    cpuBenchmark
};
template <> struct EnumTraits<ProductAnalyticsTestKind> {
    static constexpr std::pair<ProductAnalyticsTestKind, std::string_view> cases[] = {
        {ProductAnalyticsTestKind::quickHealth, "quick_health"},
        {ProductAnalyticsTestKind::fullSystemScan, "full_system_scan"},
        {ProductAnalyticsTestKind::networkQuality, "network_quality"},
        {ProductAnalyticsTestKind::networkSpeed, "network_speed"},
        {ProductAnalyticsTestKind::cpuBenchmark, "cpu_benchmark"},
    };
};

enum class ProductAnalyticsBlockReason {
    alreadyRunning,
    prerequisiteMissing,
    permissionMissing,
    offline,
    unsupported
};
template <> struct EnumTraits<ProductAnalyticsBlockReason> {
    static constexpr std::pair<ProductAnalyticsBlockReason, std::string_view> cases[] = {
        {ProductAnalyticsBlockReason::alreadyRunning, "already_running"},
        {ProductAnalyticsBlockReason::prerequisiteMissing, "prerequisite_missing"},
        {ProductAnalyticsBlockReason::permissionMissing, "permission_missing"},
        {ProductAnalyticsBlockReason::offline, "offline"},
        {ProductAnalyticsBlockReason::unsupported, "unsupported"},
    };
};

enum class ProductAnalyticsTestStage { preparing, running, finalizing };
template <> struct EnumTraits<ProductAnalyticsTestStage> {
    static constexpr std::pair<ProductAnalyticsTestStage, std::string_view> cases[] = {
        {ProductAnalyticsTestStage::preparing, "preparing"},
        {ProductAnalyticsTestStage::running, "running"},
        {ProductAnalyticsTestStage::finalizing, "finalizing"},
    };
};

enum class ProductAnalyticsErrorCategory {
    unavailable,
    timeout,
    network,
    permission,
    validation,
    persistence,
    store,
    unknown
};
template <> struct EnumTraits<ProductAnalyticsErrorCategory> {
    static constexpr std::pair<ProductAnalyticsErrorCategory, std::string_view> cases[] = {
        {ProductAnalyticsErrorCategory::unavailable, "unavailable"},
        {ProductAnalyticsErrorCategory::timeout, "timeout"},
        {ProductAnalyticsErrorCategory::network, "network"},
        {ProductAnalyticsErrorCategory::permission, "permission"},
        {ProductAnalyticsErrorCategory::validation, "validation"},
        {ProductAnalyticsErrorCategory::persistence, "persistence"},
        {ProductAnalyticsErrorCategory::store, "store"},
        {ProductAnalyticsErrorCategory::unknown, "unknown"},
    };
};

enum class ProductAnalyticsSurface { mainWindow, menuBar };
template <> struct EnumTraits<ProductAnalyticsSurface> {
    static constexpr std::pair<ProductAnalyticsSurface, std::string_view> cases[] = {
        {ProductAnalyticsSurface::mainWindow, "main_window"},
        {ProductAnalyticsSurface::menuBar, "menu_bar"},
    };
};

enum class ProductAnalyticsReminderState { enabled, disabled };
template <> struct EnumTraits<ProductAnalyticsReminderState> {
    static constexpr std::pair<ProductAnalyticsReminderState, std::string_view> cases[] = {
        {ProductAnalyticsReminderState::enabled, "enabled"},
        {ProductAnalyticsReminderState::disabled, "disabled"},
    };
};

enum class ProductAnalyticsReminderCadence { off, oneDay, sevenDays, fourteenDays, thirtyDays, ninetyDays };
template <> struct EnumTraits<ProductAnalyticsReminderCadence> {
    static constexpr std::pair<ProductAnalyticsReminderCadence, std::string_view> cases[] = {
        {ProductAnalyticsReminderCadence::off, "off"},
        {ProductAnalyticsReminderCadence::oneDay, "1_day"},
        {ProductAnalyticsReminderCadence::sevenDays, "7_days"},
        {ProductAnalyticsReminderCadence::fourteenDays, "14_days"},
        {ProductAnalyticsReminderCadence::thirtyDays, "30_days"},
        {ProductAnalyticsReminderCadence::ninetyDays, "90_days"},
    };
};

enum class ProductAnalyticsReportKind { diagnostic, fullSystemScan, weeklyHealth };
template <> struct EnumTraits<ProductAnalyticsReportKind> {
    static constexpr std::pair<ProductAnalyticsReportKind, std::string_view> cases[] = {
        {ProductAnalyticsReportKind::diagnostic, "diagnostic"},
        {ProductAnalyticsReportKind::fullSystemScan, "full_system_scan"},
        {ProductAnalyticsReportKind::weeklyHealth, "weekly_health"},
    };
};

enum class ProductAnalyticsReportOutcome { succeeded, cancelled, failed };
template <> struct EnumTraits<ProductAnalyticsReportOutcome> {
    static constexpr std::pair<ProductAnalyticsReportOutcome, std::string_view> cases[] = {
        {ProductAnalyticsReportOutcome::succeeded, "succeeded"},
        {ProductAnalyticsReportOutcome::cancelled, "cancelled"},
        {ProductAnalyticsReportOutcome::failed, "failed"},
    };
};

enum class ProductAnalyticsConsentState { optedIn, optedOut, withdrawn };
template <> struct EnumTraits<ProductAnalyticsConsentState> {
    static constexpr std::pair<ProductAnalyticsConsentState, std::string_view> cases[] = {
        {ProductAnalyticsConsentState::optedIn, "opted_in"},
        {ProductAnalyticsConsentState::optedOut, "opted_out"},
        {ProductAnalyticsConsentState::withdrawn, "withdrawn"},
    };
};

enum class ProductAnalyticsConsentSource { firstValuePrompt, settings };
template <> struct EnumTraits<ProductAnalyticsConsentSource> {
    static constexpr std::pair<ProductAnalyticsConsentSource, std::string_view> cases[] = {
        {ProductAnalyticsConsentSource::firstValuePrompt, "first_value_prompt"},
        {ProductAnalyticsConsentSource::settings, "settings"},
    };
};

using ProductAnalyticsProperties = std::map<QString, QString>;

// One usage event as the feature that records it states it. The named makers cover the catalogue;
// whatever the properties hold is checked against the catalogue before the event is queued.
struct ProductAnalyticsEvent {
    ProductAnalyticsEventName name = ProductAnalyticsEventName::firstSnapshotReady;
    ProductAnalyticsProperties properties;
    bool operator==(const ProductAnalyticsEvent&) const = default;

    static ProductAnalyticsEvent firstSnapshotReady(ProductAnalyticsTrigger trigger);
    static ProductAnalyticsEvent activationStepCompleted(ProductAnalyticsActivationStep step);
    static ProductAnalyticsEvent firstHealthSummaryReady(ProductAnalyticsCoverage coverage);
    static ProductAnalyticsEvent firstHealthSummaryViewed(ProductAnalyticsCoverage coverage,
                                                          ProductAnalyticsEntryPoint entryPoint);
    // The entry point as the interface names it ("overview", …); a text outside the catalogue makes the
    // event fail validation, so it is never sent.
    static ProductAnalyticsEvent testStartAccepted(ProductAnalyticsTestKind kind, const QString& entryPoint);
    static ProductAnalyticsEvent testStartBlocked(ProductAnalyticsTestKind kind,
                                                  ProductAnalyticsBlockReason reason);
    static ProductAnalyticsEvent testCompleted(ProductAnalyticsTestKind kind,
                                               ProductAnalyticsCoverage resultScope);
    static ProductAnalyticsEvent testCancelled(ProductAnalyticsTestKind kind,
                                               ProductAnalyticsTestStage stage);
    static ProductAnalyticsEvent testFailed(ProductAnalyticsTestKind kind,
                                            ProductAnalyticsErrorCategory category);
    static ProductAnalyticsEvent activeDay(ProductAnalyticsSurface surface);
    static ProductAnalyticsEvent scanReminderChanged(ProductAnalyticsReminderState state,
                                                     ProductAnalyticsReminderCadence cadence);
    static ProductAnalyticsEvent reportExportStarted(ProductAnalyticsReportKind kind);
    // A failure carries its category; other outcomes carry none.
    static ProductAnalyticsEvent
    reportExportResult(ProductAnalyticsReportKind kind, ProductAnalyticsReportOutcome outcome,
                       std::optional<ProductAnalyticsErrorCategory> category = {});
    static ProductAnalyticsEvent analyticsConsentChanged(ProductAnalyticsConsentState state,
                                                         ProductAnalyticsConsentSource source);
};

// One property of a catalogue row: its key and the values it may take.
struct ProductAnalyticsPropertyRule {
    QString key;
    QStringList allowedValues;
};

// The catalogue row of an event: the properties it must carry, exactly these keys.
const std::vector<ProductAnalyticsPropertyRule>& productAnalyticsCatalogueRow(ProductAnalyticsEventName name);

// Whether the properties are exactly what the event's catalogue row allows: every key present, no other
// key, every value from its list. "report_export_result" carries "error_category" exactly when its
// outcome is "failed".
bool productAnalyticsPropertiesMatchCatalogue(ProductAnalyticsEventName name,
                                              const ProductAnalyticsProperties& properties);

} // namespace kestrum
