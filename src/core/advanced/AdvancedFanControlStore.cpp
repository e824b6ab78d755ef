#include "AdvancedFanControlStore.h"

#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "localisation/L10n.h"

#include <QPointer>
#include <cmath>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotimer.h>

namespace kestrum {

using Reason = AdvancedFanAutomaticRestoreReason;
using Registration = AdvancedFanHelperRegistrationStatus;

AdvancedFanControlStore::AdvancedFanControlStore(std::shared_ptr<AdvancedFanHelperTransport> transport,
                                                 std::vector<AdvancedFanCompatibilityRecord> records,
                                                 AdvancedFanControlMachine machine, QObject* parent)
    : QObject(parent), m_coordinator(std::move(transport), std::move(records)),
      m_machine(std::move(machine)) {}

AdvancedFanControlStore::~AdvancedFanControlStore() {
    // Leaving with a boost running: hand the fans back before the coordinator's thread goes away. The
    // helper's own lease would end it within seconds anyway.
    // Unconditionally: a begin still in flight on the coordinator's thread is answered first.
    m_coordinator.stop(Reason::userStopped).waitForFinished();
}

QString AdvancedFanControlStore::helperStateTitle() const {
    switch (m_registrationStatus) {
    case Registration::notIncluded:
        return L10n::string(trText("Yardımcı servis kurulu değil."));
    case Registration::notRegistered:
        return L10n::string(
            trText("Fan kontrolü için imzalı yardımcı servisi kullanıcı eylemiyle etkinleştirin."));
    case Registration::requiresApproval:
        return L10n::string(trText("Yardımcı servis Sistem Ayarları'nda yönetici onayı bekliyor."));
    case Registration::enabled:
        return L10n::string(trText("Yardımcı servis etkin."));
    }
    return {};
}

void AdvancedFanControlStore::setSelectedProfile(AdvancedFanBoostProfile profile) {
    if (m_selectedProfile == profile)
        return;
    m_selectedProfile = profile;
    Q_EMIT changed();
}

void AdvancedFanControlStore::setMaximumSafeProfile(bool on) {
    setSelectedProfile(on ? AdvancedFanBoostProfile::maximumSafe : AdvancedFanBoostProfile::balanced);
}

void AdvancedFanControlStore::setDurationMinutes(int minutes) {
    minutes = std::clamp(minutes, 1, 15);
    if (m_durationMinutes == minutes)
        return;
    m_durationMinutes = minutes;
    Q_EMIT changed();
}

bool AdvancedFanControlStore::canStartBoost() const {
    return m_registrationStatus == Registration::enabled && m_helperStatus &&
           m_helperStatus->result == AdvancedFanHelperResultCode::success && !m_fans.empty() &&
           !m_isBoosting && !m_isStarting && !m_isRefreshing;
}

QString AdvancedFanControlStore::boostBlocker() const {
    using Refusal = AdvancedFanRequestRefusal;
    if (m_isBoosting)
        return statusLine(AdvancedFanControlResult::refused(Refusal::alreadyRunning));
    // Whatever the helper says, no release record covers a machine without a known fan interface.
    if (m_machine.fanInterface.isEmpty())
        return statusLine(AdvancedFanControlResult::refused(Refusal::unsupportedHardware));
    if (m_registrationStatus != Registration::enabled)
        return helperStateTitle();
    if (!m_helperStatus)
        return m_statusMessage.isEmpty()
                   ? statusLine(AdvancedFanControlResult::refused(Refusal::helperRejected))
                   : m_statusMessage;
    if (m_helperStatus->result != AdvancedFanHelperResultCode::success)
        return statusLine(AdvancedFanControlResult::transportFailure(
            AdvancedFanHelperWire::errorForResultCode(m_helperStatus->result)));
    if (m_fans.empty())
        return statusLine(AdvancedFanControlResult::refused(Refusal::missingSafetySensors));
    return {};
}

AdvancedFanSafetyContext AdvancedFanControlStore::safetyContext(ThermalLevel thermalLevel) const {
    AdvancedFanSafetyContext context;
    context.distributionChannel = AppDistributionChannel::directAdvanced;
    context.modelIdentifier = m_machine.fanInterface;
    context.kernelMajorVersion = m_machine.kernelMajorVersion;
    context.kernelSeries = m_machine.kernelSeries;
    context.helperTrust = m_helperStatus && m_helperStatus->result == AdvancedFanHelperResultCode::success
                              ? AdvancedFanHelperTrust::authenticated
                              : AdvancedFanHelperTrust::rejected;
    context.requiredSensorsAvailable = !m_fans.empty();
    switch (thermalLevel) {
    case ThermalLevel::nominal:
        context.thermalCondition = AdvancedFanThermalCondition::nominal;
        break;
    case ThermalLevel::fair:
        context.thermalCondition = AdvancedFanThermalCondition::fair;
        break;
    case ThermalLevel::serious:
        context.thermalCondition = AdvancedFanThermalCondition::serious;
        break;
    case ThermalLevel::critical:
        context.thermalCondition = AdvancedFanThermalCondition::critical;
        break;
    case ThermalLevel::unavailable:
        context.thermalCondition = AdvancedFanThermalCondition::unknown;
        break;
    }
    return context;
}

QCoro::Task<void> AdvancedFanControlStore::refresh() {
    QPointer<AdvancedFanControlStore> self(this);
    m_isRefreshing = true;
    m_registrationStatus = m_machine.registrationStatus();
    Q_EMIT changed();
    std::optional<AdvancedFanHelperServiceStatus> status;
    std::vector<AdvancedFanTelemetryReading> fans;
    if (m_registrationStatus == Registration::enabled) {
        auto statusFuture = m_coordinator.serviceStatus();
        const auto statusAnswer = co_await statusFuture;
        if (!self)
            co_return;
        if (statusAnswer.error) {
            setStatusMessage(statusLine(AdvancedFanControlResult::transportFailure(*statusAnswer.error)));
            if (*statusAnswer.error == AdvancedFanHelperTransportError::notInstalled)
                m_registrationStatus = Registration::notRegistered;
        } else {
            status = statusAnswer.value;
            auto fansFuture = m_coordinator.fanReadings();
            const auto fansAnswer = co_await fansFuture;
            if (!self)
                co_return;
            if (fansAnswer.value)
                fans = *fansAnswer.value;
            else
                setStatusMessage(statusLine(AdvancedFanControlResult::transportFailure(*fansAnswer.error)));
        }
    }
    m_helperStatus = status;
    m_fans = std::move(fans);
    m_isRefreshing = false;
    Q_EMIT changed();
}

QCoro::Task<void> AdvancedFanControlStore::startBoost(ThermalLevel thermalLevel) {
    if (!canStartBoost())
        co_return;
    QPointer<AdvancedFanControlStore> self(this);
    m_isStarting = true; // a second click while the first start is on its way does nothing
    Q_EMIT changed();
    const double duration = m_durationMinutes * 60.0;
    const AdvancedFanBoostRequest request{newUuid(), m_selectedProfile, duration};
    auto future = m_coordinator.requestBoost(request, safetyContext(thermalLevel), m_machine.now());
    const AdvancedFanControlResult result = co_await future;
    if (!self)
        co_return;
    m_isStarting = false;
    if (result.kind != AdvancedFanControlResult::Kind::boostStarted) {
        Q_EMIT changed();
        handleControlResult(result);
        co_return;
    }
    m_activeSessionID = result.sessionID;
    m_boostDeadline = m_machine.now() + duration;
    m_isBoosting = true;
    updateRemainingTime();
    setStatusMessage(
        L10n::string(trText("Fan Boost başladı. Süre sonunda otomatik yönetim geri yüklenecek.")));
    fireAndForget(heartbeat(++m_heartbeatGeneration), "fan boost heartbeat");
}

QCoro::Task<void> AdvancedFanControlStore::heartbeat(quint64 generation) {
    QPointer<AdvancedFanControlStore> self(this);
    for (;;) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(m_machine.heartbeatIntervalMs));
        if (!self || generation != m_heartbeatGeneration || !m_activeSessionID)
            co_return;
        const ThermalLevel level =
            m_machine.thermalLevel ? m_machine.thermalLevel() : ThermalLevel::unavailable;
        // Only nominal and fair keep a boost alive; the controller refuses every other condition.
        const AdvancedFanThermalCondition thermal =
            level == ThermalLevel::nominal ? AdvancedFanThermalCondition::nominal
            : level == ThermalLevel::fair  ? AdvancedFanThermalCondition::fair
                                           : AdvancedFanThermalCondition::unknown;
        auto future = m_coordinator.receiveHeartbeat(*m_activeSessionID, m_machine.now(), thermal);
        const AdvancedFanControlResult result = co_await future;
        if (!self || generation != m_heartbeatGeneration)
            co_return;
        updateRemainingTime();
        if (result.kind == AdvancedFanControlResult::Kind::leaseRenewed) {
            auto readingsFuture = m_coordinator.fanReadings();
            const auto readings = co_await readingsFuture;
            if (!self || generation != m_heartbeatGeneration)
                co_return;
            if (readings.value && *readings.value != m_fans) {
                m_fans = *readings.value;
                Q_EMIT changed();
            }
            continue;
        }
        endBoostState();
        handleControlResult(result);
        Q_EMIT boostEnded();
        co_return;
    }
}

QCoro::Task<void> AdvancedFanControlStore::stopBoost(Reason reason) {
    QPointer<AdvancedFanControlStore> self(this);
    ++m_heartbeatGeneration;
    auto future = m_coordinator.stop(reason);
    const AdvancedFanControlResult result = co_await future;
    if (!self)
        co_return;
    const bool wasBoosting = m_isBoosting;
    endBoostState();
    handleControlResult(result);
    if (wasBoosting)
        Q_EMIT boostEnded();
    if (reason != Reason::sleep)
        co_await refresh();
}

QCoro::Task<void> AdvancedFanControlStore::restoreAutomaticNow() {
    QPointer<AdvancedFanControlStore> self(this);
    ++m_heartbeatGeneration;
    auto future = m_coordinator.restoreAutomaticNow(Reason::userStopped);
    const AdvancedFanControlResult result = co_await future;
    if (!self)
        co_return;
    endBoostState();
    handleControlResult(result);
    co_await refresh();
}

void AdvancedFanControlStore::refreshNow() {
    fireAndForget(refresh(), "refreshing the fan helper");
}

void AdvancedFanControlStore::startBoostNow() {
    fireAndForget(startBoost(m_machine.thermalLevel ? m_machine.thermalLevel() : ThermalLevel::unavailable),
                  "starting a fan boost");
}

void AdvancedFanControlStore::stopBoostNow() {
    fireAndForget(stopBoost(Reason::userStopped), "stopping a fan boost");
}

void AdvancedFanControlStore::machineWillSleep() {
    if (m_isBoosting)
        fireAndForget(stopBoost(Reason::sleep), "ending a fan boost before sleep");
}

void AdvancedFanControlStore::updateRemainingTime() {
    std::optional<int> remaining;
    if (m_boostDeadline)
        remaining = std::max(int(std::ceil(*m_boostDeadline - m_machine.now())), 0);
    if (remaining != m_remainingSeconds) {
        m_remainingSeconds = remaining;
        Q_EMIT changed();
    }
}

void AdvancedFanControlStore::endBoostState() {
    ++m_heartbeatGeneration;
    m_activeSessionID.reset();
    m_boostDeadline.reset();
    m_remainingSeconds.reset();
    m_isBoosting = false;
    Q_EMIT changed();
}

void AdvancedFanControlStore::handleControlResult(const AdvancedFanControlResult& result) {
    const QString line = statusLine(result);
    if (!line.isEmpty())
        setStatusMessage(line);
}

void AdvancedFanControlStore::setStatusMessage(const QString& message) {
    if (m_statusMessage == message)
        return;
    m_statusMessage = message;
    Q_EMIT changed();
}

QString AdvancedFanControlStore::restoreReasonText(Reason reason) {
    return rawValue(reason);
}

QString AdvancedFanControlStore::statusLine(const AdvancedFanControlResult& result) {
    using Kind = AdvancedFanControlResult::Kind;
    using Refusal = AdvancedFanRequestRefusal;
    using Error = AdvancedFanHelperTransportError;
    switch (result.kind) {
    case Kind::boostStarted:
    case Kind::leaseRenewed:
        return {};
    case Kind::automaticRestored:
        return L10n::string(trText("macOS otomatik fan yönetimi geri yüklendi (")) +
               restoreReasonText(result.reason.value_or(Reason::userStopped)) + QStringLiteral(").");
    case Kind::refused:
        switch (result.refusal.value_or(Refusal::unsupportedHardware)) {
        case Refusal::wrongDistribution:
            return L10n::string(trText("Fan kontrolü yalnız Advanced sürümünde kullanılabilir."));
        case Refusal::unsupportedHardware:
            return L10n::string(trText("Bu model için fiziksel güvenlik matrisi tamamlanmadı."));
        case Refusal::helperUnavailable:
            return L10n::string(trText("Yardımcı servis etkin değil."));
        case Refusal::helperRejected:
            return L10n::string(trText("Yardımcı servis kimliği doğrulanamadı."));
        case Refusal::missingSafetySensors:
            return L10n::string(trText("Gerekli fan sensörleri okunamadı."));
        case Refusal::unsafeThermalState:
            return L10n::string(trText("Mevcut termal durumda Fan Boost başlatılamaz."));
        case Refusal::invalidDuration:
            return L10n::string(trText("Fan Boost süresi 30 saniye ile 15 dakika arasında olmalı."));
        case Refusal::alreadyRunning:
            return L10n::string(trText("Zaten etkin bir Fan Boost oturumu var."));
        }
        break;
    case Kind::transportFailure:
        switch (result.error.value_or(Error::connectionInterrupted)) {
        case Error::notInstalled:
            return L10n::string(trText("Yardımcı servis kurulu değil."));
        case Error::connectionInterrupted:
            return L10n::string(trText("Yardımcı servis bağlantısı kesildi; otomatik dönüş istendi."));
        case Error::callerRejected:
            return L10n::string(trText("Uygulama veya yardımcı servis imzası doğrulanamadı."));
        case Error::helperRejectedRequest:
            return L10n::string(
                trText("Yardımcı servis güvenlik koşulları sağlanmadığı için isteği reddetti."));
        case Error::hardwareFailure:
            return L10n::string(trText("Fan donanımı komutu doğrulayamadı; otomatik dönüş istendi."));
        }
        break;
    case Kind::protocolViolation:
        return L10n::string(trText("Yardımcı servis yanıtı doğrulanamadı; otomatik dönüş istendi."));
    case Kind::noChange:
        return L10n::string(trText("Fan durumunda değişiklik yok."));
    }
    return {};
}

} // namespace kestrum
