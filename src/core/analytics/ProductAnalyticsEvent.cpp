#include "ProductAnalyticsEvent.h"

#include <array>

namespace kestrum {

namespace {

using Name = ProductAnalyticsEventName;

template <RawRepresentable E> QStringList rawValues() {
    QStringList values;
    for (const E value : allCases<E>())
        values.append(rawValue(value));
    return values;
}

template <RawRepresentable E> ProductAnalyticsPropertyRule rule(const char* key) {
    return {QString::fromLatin1(key), rawValues<E>()};
}

const QString kTrigger = QStringLiteral("trigger");
const QString kStep = QStringLiteral("step");
const QString kCoverage = QStringLiteral("coverage");
const QString kEntryPoint = QStringLiteral("entry_point");
const QString kTestKind = QStringLiteral("test_kind");
const QString kBlockReason = QStringLiteral("block_reason");
const QString kResultScope = QStringLiteral("result_scope");
const QString kStage = QStringLiteral("stage");
const QString kErrorCategory = QStringLiteral("error_category");
const QString kSurface = QStringLiteral("surface");
const QString kState = QStringLiteral("state");
const QString kCadence = QStringLiteral("cadence");
const QString kReportKind = QStringLiteral("report_kind");
const QString kOutcome = QStringLiteral("outcome");
const QString kSource = QStringLiteral("source");

using Catalogue = std::array<std::vector<ProductAnalyticsPropertyRule>, std::size(EnumTraits<Name>::cases)>;

Catalogue makeCatalogue() {
    Catalogue rows;
    const auto row = [&rows](Name name) -> std::vector<ProductAnalyticsPropertyRule>& {
        return rows[size_t(declarationIndex(name))];
    };
    const auto testKind = rule<ProductAnalyticsTestKind>("test_kind");
    const auto entryPoint = rule<ProductAnalyticsEntryPoint>("entry_point");
    const auto coverage = rule<ProductAnalyticsCoverage>("coverage");
    const auto reportKind = rule<ProductAnalyticsReportKind>("report_kind");
    row(Name::firstSnapshotReady) = {rule<ProductAnalyticsTrigger>("trigger")};
    row(Name::activationStepCompleted) = {rule<ProductAnalyticsActivationStep>("step")};
    row(Name::firstHealthSummaryReady) = {coverage};
    row(Name::firstHealthSummaryViewed) = {coverage, entryPoint};
    row(Name::testStartAccepted) = {testKind, entryPoint};
    row(Name::testStartBlocked) = {testKind, rule<ProductAnalyticsBlockReason>("block_reason")};
    row(Name::testCompleted) = {testKind, rule<ProductAnalyticsCoverage>("result_scope")};
    row(Name::testCancelled) = {testKind, rule<ProductAnalyticsTestStage>("stage")};
    row(Name::testFailed) = {testKind, rule<ProductAnalyticsErrorCategory>("error_category")};
    row(Name::activeDay) = {rule<ProductAnalyticsSurface>("surface")};
    row(Name::scanReminderChanged) = {rule<ProductAnalyticsReminderState>("state"),
                                      rule<ProductAnalyticsReminderCadence>("cadence")};
    row(Name::reportExportStarted) = {reportKind};
    // "error_category" joins these only for a failure (checked below).
    row(Name::reportExportResult) = {reportKind, rule<ProductAnalyticsReportOutcome>("outcome")};
    row(Name::analyticsConsentChanged) = {rule<ProductAnalyticsConsentState>("state"),
                                          rule<ProductAnalyticsConsentSource>("source")};
    return rows;
}

const Catalogue& catalogue() {
    static const Catalogue rows = makeCatalogue();
    return rows;
}

bool matchesRules(const std::vector<ProductAnalyticsPropertyRule>& rules,
                  const ProductAnalyticsProperties& properties, size_t extraKeys) {
    if (properties.size() != rules.size() + extraKeys)
        return false;
    for (const ProductAnalyticsPropertyRule& r : rules) {
        const auto it = properties.find(r.key);
        if (it == properties.end() || !r.allowedValues.contains(it->second))
            return false;
    }
    return true;
}

ProductAnalyticsEvent make(Name name, ProductAnalyticsProperties properties) {
    return ProductAnalyticsEvent{name, std::move(properties)};
}

} // namespace

const std::vector<ProductAnalyticsPropertyRule>&
productAnalyticsCatalogueRow(ProductAnalyticsEventName name) {
    return catalogue()[size_t(declarationIndex(name))];
}

bool productAnalyticsPropertiesMatchCatalogue(ProductAnalyticsEventName name,
                                              const ProductAnalyticsProperties& properties) {
    const auto& rules = productAnalyticsCatalogueRow(name);
    if (name != Name::reportExportResult)
        return matchesRules(rules, properties, 0);
    const auto outcome = properties.find(kOutcome);
    const bool failed =
        outcome != properties.end() && outcome->second == rawValue(ProductAnalyticsReportOutcome::failed);
    if (!failed)
        return matchesRules(rules, properties, 0);
    const auto category = properties.find(kErrorCategory);
    return category != properties.end() &&
           rawValues<ProductAnalyticsErrorCategory>().contains(category->second) &&
           matchesRules(rules, properties, 1);
}

ProductAnalyticsEvent ProductAnalyticsEvent::firstSnapshotReady(ProductAnalyticsTrigger trigger) {
    return make(Name::firstSnapshotReady, {{kTrigger, rawValue(trigger)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::activationStepCompleted(ProductAnalyticsActivationStep step) {
    return make(Name::activationStepCompleted, {{kStep, rawValue(step)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::firstHealthSummaryReady(ProductAnalyticsCoverage coverage) {
    return make(Name::firstHealthSummaryReady, {{kCoverage, rawValue(coverage)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::firstHealthSummaryViewed(ProductAnalyticsCoverage coverage,
                                                                      ProductAnalyticsEntryPoint entryPoint) {
    return make(Name::firstHealthSummaryViewed,
                {{kCoverage, rawValue(coverage)}, {kEntryPoint, rawValue(entryPoint)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::testStartAccepted(ProductAnalyticsTestKind kind,
                                                               const QString& entryPoint) {
    return make(Name::testStartAccepted, {{kTestKind, rawValue(kind)}, {kEntryPoint, entryPoint}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::testStartBlocked(ProductAnalyticsTestKind kind,
                                                              ProductAnalyticsBlockReason reason) {
    return make(Name::testStartBlocked, {{kTestKind, rawValue(kind)}, {kBlockReason, rawValue(reason)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::testCompleted(ProductAnalyticsTestKind kind,
                                                           ProductAnalyticsCoverage resultScope) {
    return make(Name::testCompleted, {{kTestKind, rawValue(kind)}, {kResultScope, rawValue(resultScope)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::testCancelled(ProductAnalyticsTestKind kind,
                                                           ProductAnalyticsTestStage stage) {
    return make(Name::testCancelled, {{kTestKind, rawValue(kind)}, {kStage, rawValue(stage)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::testFailed(ProductAnalyticsTestKind kind,
                                                        ProductAnalyticsErrorCategory category) {
    return make(Name::testFailed, {{kTestKind, rawValue(kind)}, {kErrorCategory, rawValue(category)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::activeDay(ProductAnalyticsSurface surface) {
    return make(Name::activeDay, {{kSurface, rawValue(surface)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::scanReminderChanged(ProductAnalyticsReminderState state,
                                                                 ProductAnalyticsReminderCadence cadence) {
    return make(Name::scanReminderChanged, {{kState, rawValue(state)}, {kCadence, rawValue(cadence)}});
}

ProductAnalyticsEvent ProductAnalyticsEvent::reportExportStarted(ProductAnalyticsReportKind kind) {
    return make(Name::reportExportStarted, {{kReportKind, rawValue(kind)}});
}

ProductAnalyticsEvent
ProductAnalyticsEvent::reportExportResult(ProductAnalyticsReportKind kind,
                                          ProductAnalyticsReportOutcome outcome,
                                          std::optional<ProductAnalyticsErrorCategory> category) {
    ProductAnalyticsProperties properties{{kReportKind, rawValue(kind)}, {kOutcome, rawValue(outcome)}};
    if (outcome == ProductAnalyticsReportOutcome::failed)
        properties.emplace(kErrorCategory,
                           rawValue(category.value_or(ProductAnalyticsErrorCategory::unknown)));
    return make(Name::reportExportResult, std::move(properties));
}

ProductAnalyticsEvent ProductAnalyticsEvent::analyticsConsentChanged(ProductAnalyticsConsentState state,
                                                                     ProductAnalyticsConsentSource source) {
    return make(Name::analyticsConsentChanged, {{kState, rawValue(state)}, {kSource, rawValue(source)}});
}

} // namespace kestrum
