#pragma once

#include "AdvancedFanControlCoordinator.h"
#include "measurement/ThermalLevel.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace kestrum {

// What the store needs of the machine: the helper's installation state, the fan interface and kernel
// the boost would run on, the current thermal level and a monotonic clock in seconds.
struct AdvancedFanControlMachine {
    std::function<AdvancedFanHelperRegistrationStatus()> registrationStatus;
    QString fanInterface; // the hwmon driver whose fans a release record would cover
    int kernelMajorVersion = 0;
    KernelSeries kernelSeries;
    std::function<ThermalLevel()> thermalLevel;
    std::function<double()> now;
    int heartbeatIntervalMs = 2000;
};

// The fan panel's model. Main thread only; each operation hops to the coordinator's thread. While a
// boost runs a heartbeat every two seconds renews it, and any result other than a renewal ends it.
class AdvancedFanControlStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(int registrationStatus READ registrationStatusValue NOTIFY changed)
    Q_PROPERTY(QString helperStateTitle READ helperStateTitle NOTIFY changed)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY changed)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY changed)
    Q_PROPERTY(bool isBoosting READ isBoosting NOTIFY changed)
    Q_PROPERTY(int remainingSeconds READ remainingSecondsValue NOTIFY changed)
    Q_PROPERTY(bool canStartBoost READ canStartBoost NOTIFY changed)
    Q_PROPERTY(int durationMinutes READ durationMinutes WRITE setDurationMinutes NOTIFY changed)
    Q_PROPERTY(bool maximumSafeProfile READ maximumSafeProfile WRITE setMaximumSafeProfile NOTIFY changed)

public:
    AdvancedFanControlStore(std::shared_ptr<AdvancedFanHelperTransport> transport,
                            std::vector<AdvancedFanCompatibilityRecord> records,
                            AdvancedFanControlMachine machine, QObject* parent = nullptr);
    ~AdvancedFanControlStore() override;

    AdvancedFanHelperRegistrationStatus registrationStatus() const { return m_registrationStatus; }
    int registrationStatusValue() const { return static_cast<int>(m_registrationStatus); }
    const std::vector<AdvancedFanTelemetryReading>& fans() const { return m_fans; }
    QString helperStateTitle() const;
    QString statusMessage() const { return m_statusMessage; }
    bool isRefreshing() const { return m_isRefreshing; }
    bool isBoosting() const { return m_isBoosting; }
    std::optional<int> remainingSeconds() const { return m_remainingSeconds; }
    int remainingSecondsValue() const { return m_remainingSeconds.value_or(-1); }
    const std::optional<AdvancedFanHelperServiceStatus>& helperStatus() const { return m_helperStatus; }
    const std::optional<QUuid>& activeSessionID() const { return m_activeSessionID; }
    AdvancedFanBoostProfile selectedProfile() const { return m_selectedProfile; }
    void setSelectedProfile(AdvancedFanBoostProfile profile);
    bool maximumSafeProfile() const { return m_selectedProfile == AdvancedFanBoostProfile::maximumSafe; }
    void setMaximumSafeProfile(bool on);
    int durationMinutes() const { return m_durationMinutes; }
    // 1 to 15 minutes.
    void setDurationMinutes(int minutes);

    bool canStartBoost() const;
    // Why a boost cannot start now, in the panel's words; empty when it can (the safety rules may still
    // refuse it).
    QString boostBlocker() const;
    const QString& fanInterface() const { return m_machine.fanInterface; }
    AdvancedFanSafetyContext safetyContext(ThermalLevel thermalLevel) const;

    // Re-reads the registration, the helper's status and its fan readings.
    QCoro::Task<void> refresh();
    QCoro::Task<void> startBoost(ThermalLevel thermalLevel);
    QCoro::Task<void> stopBoost(AdvancedFanAutomaticRestoreReason reason);
    // Hands the fans back whoever boosted them (a boost started from another window or terminal).
    QCoro::Task<void> restoreAutomaticNow();

    Q_INVOKABLE void refreshNow();
    Q_INVOKABLE void startBoostNow();
    Q_INVOKABLE void stopBoostNow();
    // The machine is about to sleep: the boost ends first.
    void machineWillSleep();

    // The status line for one result; empty for a start or a renewal, which leave the line as it is.
    static QString statusLine(const AdvancedFanControlResult& result);
    static QString restoreReasonText(AdvancedFanAutomaticRestoreReason reason);

Q_SIGNALS:
    void changed();
    // A boost ended, for whatever reason (the command-line boost waits for it).
    void boostEnded();

private:
    QCoro::Task<void> heartbeat(quint64 generation);
    void handleControlResult(const AdvancedFanControlResult& result);
    void updateRemainingTime();
    void endBoostState();
    void setStatusMessage(const QString& message);

    AdvancedFanControlCoordinator m_coordinator;
    AdvancedFanControlMachine m_machine;
    AdvancedFanHelperRegistrationStatus m_registrationStatus =
        AdvancedFanHelperRegistrationStatus::notRegistered;
    std::vector<AdvancedFanTelemetryReading> m_fans;
    QString m_statusMessage;
    bool m_isRefreshing = false;
    bool m_isBoosting = false;
    bool m_isStarting = false;
    std::optional<int> m_remainingSeconds;
    AdvancedFanBoostProfile m_selectedProfile = AdvancedFanBoostProfile::balanced;
    int m_durationMinutes = 5;
    std::optional<AdvancedFanHelperServiceStatus> m_helperStatus;
    std::optional<QUuid> m_activeSessionID;
    std::optional<double> m_boostDeadline;
    // Bumped whenever a heartbeat must stop: a running loop sees another number and ends.
    quint64 m_heartbeatGeneration = 0;
};

} // namespace kestrum
