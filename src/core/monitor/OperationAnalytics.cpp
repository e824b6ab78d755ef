#include "OperationAnalytics.h"

#include "MonitoringLoop.h"
#include "foundation/KestrumError.h"
#include "network/HTTPTransport.h"

namespace kestrum {

std::optional<ProductAnalyticsTestKind> OperationAnalytics::testKind(UserOperation operation) {
    switch (operation) {
    case UserOperation::networkQuality:
        return ProductAnalyticsTestKind::networkQuality;
    case UserOperation::networkSpeed:
        return ProductAnalyticsTestKind::networkSpeed;
    case UserOperation::quickHealthTest:
        return ProductAnalyticsTestKind::quickHealth;
    case UserOperation::cpuBenchmark:
        return ProductAnalyticsTestKind::cpuBenchmark;
    case UserOperation::fullSystemScan:
        return ProductAnalyticsTestKind::fullSystemScan;
    case UserOperation::deepHealthTest:
        return std::nullopt;
    }
    return std::nullopt;
}

ProductAnalyticsBlockReason OperationAnalytics::blockReason(std::optional<StartCheck> check,
                                                            bool alreadyRunning, ThermalLevel thermal) {
    using R = ProductAnalyticsBlockReason;
    if (alreadyRunning)
        return R::alreadyRunning;
    if (!check)
        return R::prerequisiteMissing;
    switch (*check) {
    case StartCheck::conflicts:
        return R::alreadyRunning;
    case StartCheck::network:
        return R::offline;
    case StartCheck::thermalGate:
        // A machine whose heat cannot be read cannot run the test safely at all; a hot one can later.
        return thermal == ThermalLevel::unavailable ? R::unsupported : R::prerequisiteMissing;
    case StartCheck::cooldown:
    case StartCheck::measurementRequired:
    case StartCheck::lowBattery:
        return R::prerequisiteMissing;
    }
    return R::prerequisiteMissing;
}

ProductAnalyticsErrorCategory OperationAnalytics::errorCategory(std::exception_ptr error) {
    using C = ProductAnalyticsErrorCategory;
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const KestrumError& e) {
        const QString code = e.code();
        const auto has = [&code](const char* word) {
            return code.contains(QLatin1String(word), Qt::CaseInsensitive);
        };
        if (has("timeout") || has("timedOut"))
            return C::timeout;
        if (has("permission") || has("authoriz"))
            return C::permission;
        if (has("unavailable") || has("unsupported") || has("thermal"))
            return C::unavailable;
        if (code == u"fileWrite" || code == u"fileRead" || has("persist"))
            return C::persistence;
        if (code == u"decoding" || has("invalid"))
            return C::validation;
        if (code.startsWith(u"network"))
            return C::network;
        return C::unknown;
    } catch (const HTTPTransportError& e) {
        return e.kind() == HTTPTransportError::Kind::timedOut ? C::timeout : C::network;
    } catch (...) {
        return C::unknown;
    }
    return C::unknown;
}

void OperationAnalytics::firstSnapshotReady(AnalyticsTrigger trigger) {
    m_recorder.record(ProductAnalyticsEvent::firstSnapshotReady(
        trigger == AnalyticsTrigger::automaticMonitoring ? ProductAnalyticsTrigger::automaticMonitoring
                                                         : ProductAnalyticsTrigger::manualRefresh));
    stepCompleted(ProductAnalyticsActivationStep::liveSnapshot);
}

void OperationAnalytics::accepted(UserOperation operation, const QString& entryPoint) {
    if (const auto kind = testKind(operation))
        m_recorder.record(ProductAnalyticsEvent::testStartAccepted(*kind, entryPoint));
}

void OperationAnalytics::blocked(UserOperation operation, std::optional<StartCheck> check,
                                 bool alreadyRunning, ThermalLevel thermal) {
    if (const auto kind = testKind(operation))
        m_recorder.record(
            ProductAnalyticsEvent::testStartBlocked(*kind, blockReason(check, alreadyRunning, thermal)));
}

void OperationAnalytics::completed(UserOperation operation) {
    const auto kind = testKind(operation);
    if (!kind)
        return;
    m_recorder.record(ProductAnalyticsEvent::testCompleted(*kind, ProductAnalyticsCoverage::complete));
    if (operation == UserOperation::quickHealthTest)
        stepCompleted(ProductAnalyticsActivationStep::quickHealthTest);
    else if (operation == UserOperation::networkQuality)
        stepCompleted(ProductAnalyticsActivationStep::networkQuality);
}

void OperationAnalytics::cancelled(UserOperation operation, ProductAnalyticsTestStage stage) {
    if (const auto kind = testKind(operation))
        m_recorder.record(ProductAnalyticsEvent::testCancelled(*kind, stage));
}

void OperationAnalytics::failed(UserOperation operation, std::exception_ptr error) {
    if (const auto kind = testKind(operation))
        m_recorder.record(ProductAnalyticsEvent::testFailed(*kind, errorCategory(error)));
}

void OperationAnalytics::stepCompleted(ProductAnalyticsActivationStep step) {
    if (m_completedSteps.insert(step).second)
        m_recorder.record(ProductAnalyticsEvent::activationStepCompleted(step));
}

} // namespace kestrum
