#pragma once

// The one fan interface the helper may drive, and how it is found. Only the interfaces of the release
// records are ever written, each through the single file the kernel offers for it.

#include "advanced/AdvancedFanHelperProtocol.h"
#include "advanced/AdvancedFanSafetyController.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace kestrum {

class FanHelperFanControlling {
public:
    virtual ~FanHelperFanControlling() = default;
    // The driver, as the release records name it ("thinkpad", "applesmc").
    virtual QString driver() const = 0;
    virtual int fanCount() const = 0;
    // Absent when the fan cannot be read.
    virtual std::optional<AdvancedFanTelemetryReading> reading(int index) const = 0;
    // Puts every fan under manual control at the profile's speed for at most `leaseSeconds` where the
    // firmware can enforce it; false when the hardware did not take a command.
    virtual bool boost(AdvancedFanBoostProfile profile, double leaseSeconds) = 0;
    virtual bool renew(AdvancedFanBoostProfile profile, double leaseSeconds) = 0;
    // Hands every fan back to automatic control; tries all of them even when one fails.
    virtual bool restoreAutomatic() = 0;
};

// Writes one value to a kernel file; false when the kernel refused it. Tests wrap it to see the order.
using FanHelperFileWriter = std::function<bool(const QString& path, const QByteArray& value)>;
FanHelperFileWriter fanHelperKernelFileWriter();

// The ThinkPad fan under thinkpad_acpi: <proc>/acpi/ibm/fan. Manual levels are only accepted with
// fan_control=1, which also offers the firmware watchdog that returns the fan to automatic on its own.
class ProcAcpiThinkpadFanController final : public FanHelperFanControlling {
public:
    ProcAcpiThinkpadFanController(QString procRoot, FanHelperFileWriter writer = fanHelperKernelFileWriter());
    // Present and controllable: the file exists and its command list offers `level` and `watchdog`.
    static bool isPresent(const QString& procRoot);
    static bool offersControl(const QString& procRoot);

    QString driver() const override { return QStringLiteral("thinkpad"); }
    int fanCount() const override { return 1; }
    std::optional<AdvancedFanTelemetryReading> reading(int index) const override;
    bool boost(AdvancedFanBoostProfile profile, double leaseSeconds) override;
    bool renew(AdvancedFanBoostProfile profile, double leaseSeconds) override;
    bool restoreAutomatic() override;

    // "speed:" and "level:" of the file's text; absent without a speed.
    static std::optional<AdvancedFanTelemetryReading> parse(const QByteArray& text);
    // The watchdog armed for a lease: a second beyond it, within the driver's 1…120.
    static int watchdogSeconds(double leaseSeconds);

private:
    QString m_path;
    FanHelperFileWriter m_write;
};

// Intel-Mac fans under applesmc: <sys>/devices/platform/applesmc.768/fanN_*. The firmware keeps a fan in
// manual mode until told otherwise, so the helper's own lease timer is the safety net.
class SysfsAppleSmcFanController final : public FanHelperFanControlling {
public:
    SysfsAppleSmcFanController(QString sysRoot, FanHelperFileWriter writer = fanHelperKernelFileWriter());
    static bool isPresent(const QString& sysRoot);

    QString driver() const override { return QStringLiteral("applesmc"); }
    int fanCount() const override { return m_fanCount; }
    std::optional<AdvancedFanTelemetryReading> reading(int index) const override;
    bool boost(AdvancedFanBoostProfile profile, double leaseSeconds) override;
    bool renew(AdvancedFanBoostProfile profile, double leaseSeconds) override;
    bool restoreAutomatic() override;

private:
    QString attribute(int fan, const char* name) const;
    std::optional<double> number(int fan, const char* name) const;

    QString m_directory;
    FanHelperFileWriter m_write;
    int m_fanCount = 0;
};

// The controllable fan interface of this machine, or why there is none.
struct FanHelperHardware {
    std::unique_ptr<FanHelperFanControlling> controller;
    QString refusal; // English, for the log; empty when a controller was found
};

// Looks for a released fan interface under the roots; `kernelRelease` as uname reports it.
FanHelperHardware detectFanHelperHardware(const QString& procRoot, const QString& sysRoot,
                                          const QString& kernelRelease,
                                          const std::vector<AdvancedFanCompatibilityRecord>& records,
                                          const FanHelperFileWriter& writer = fanHelperKernelFileWriter());

} // namespace kestrum
