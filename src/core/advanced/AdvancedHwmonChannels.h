#pragma once

// Channels of the kernel's hardware-monitoring devices, found by the device's name and the channel's
// label — never by index, since neither the device numbers nor most channel numbers are stable.

#include "AdvancedTelemetrySystemIdentity.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

// The attribute family a channel belongs to (`temp3_input`, `fan1_input`, `in0_input`, `curr1_input`).
enum class AdvancedHwmonChannelType { temp, fan, in, curr, power };

// What a channel's text holds: a decimal integer in the family's unit.
enum class AdvancedHwmonDataType { milliCelsius, revolutionsPerMinute, millivolts, milliamperes, microwatts };

QString attributePrefix(AdvancedHwmonChannelType type);
// The family whose files hold this data type.
AdvancedHwmonChannelType channelTypeOf(AdvancedHwmonDataType type);
// Raw value ÷ this = the value in °C, RPM, V, A or W.
double unitDivisor(AdvancedHwmonDataType type);

// One kind of channel a record admits.
struct AdvancedHwmonChannelRule {
    AdvancedHwmonChannelType type = AdvancedHwmonChannelType::temp;
    // The exact label after trimming; "%d" in it stands for a decimal number ("Core %d"). Empty for
    // channels the driver leaves unlabelled because their number alone names them (thinkpad's fan1, the
    // power-supply bridge's in0): such a channel must have no label file.
    QString label;
    // Where the driver numbers such channels; only these are ever looked at.
    ClosedRange<int> channelNumbers{1, 1};
    ClosedRange<int> expectedCount{1, 1};

    bool matchesLabel(const QString& trimmedLabel) const;
    bool operator==(const AdvancedHwmonChannelRule&) const = default;
};

// One hardware-monitoring device: its name and the folder that holds its attributes.
struct AdvancedHwmonDevice {
    QString name;
    QString path;
    bool operator==(const AdvancedHwmonDevice&) const = default;
};

// The bytes of an attribute or the errno its read failed with (ENOENT when it does not exist).
struct AdvancedHwmonRead {
    std::optional<QByteArray> bytes;
    int error = 0;
};

// The read-only connection to the machine's hardware-monitoring devices. It finds devices by name and
// reads named attributes of them; it never lists a device's attributes.
class AdvancedHwmonReading {
public:
    virtual ~AdvancedHwmonReading() = default;
    // The devices called `name`, in a stable order.
    virtual std::vector<AdvancedHwmonDevice> devices(const QString& name) = 0;
    virtual AdvancedHwmonRead read(const AdvancedHwmonDevice& device, const QString& attribute) = 0;
};

enum class AdvancedHwmonFailure {
    none,
    vanished,      // the attribute (or its device) is gone
    unreadable,    // the read failed (EIO, ENXIO, EPERM, …)
    unparsable,    // not a decimal integer
    labelChanged,  // the channel now carries another label: the driver was reloaded or renumbered
    countMismatch, // a rule matched fewer or more channels than the record expects
    outOfRange,    // readable, but outside the record's safe range
};

struct AdvancedHwmonChannel {
    int rule = 0;   // index of the rule that admitted it
    int number = 0; // `temp<number>_input`
    AdvancedHwmonChannelType type = AdvancedHwmonChannelType::temp;
    QString label; // trimmed; empty for unlabelled channels

    QString name() const; // "temp3"
    QString attribute(const char* suffix) const { return name() + QLatin1Char('_') + QLatin1String(suffix); }
    bool operator==(const AdvancedHwmonChannel&) const = default;
};

struct AdvancedHwmonResolution {
    std::vector<AdvancedHwmonChannel> channels; // by rule, then by number
    AdvancedHwmonFailure failure = AdvancedHwmonFailure::none;
    int error = 0;
    int failedRule = -1;

    bool succeeded() const { return failure == AdvancedHwmonFailure::none; }
};

// Finds the device's channels that the rules admit, reading only the label files (and, for unlabelled
// rules, the input files) of the numbers the rules name. Checks every rule's expected count.
AdvancedHwmonResolution resolveChannels(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                                        const std::vector<AdvancedHwmonChannelRule>& rules);

struct AdvancedHwmonValue {
    std::optional<int64_t> raw;
    AdvancedHwmonFailure failure = AdvancedHwmonFailure::none;
    int error = 0;
};

// A decimal integer attribute of the device.
AdvancedHwmonValue readIntegerAttribute(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                                        const QString& attribute);
// `<channel>_<suffix>`; a labelled channel's label is read first and must be unchanged.
AdvancedHwmonValue readChannel(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                               const AdvancedHwmonChannel& channel, const char* suffix = "input");

// A per-channel attribute name: "%d" is replaced by the channel number ("fan%d_manual" → "fan2_manual");
// a name without "%d" is one attribute for every channel ("pwm1_enable").
QString channelAttribute(const QString& format, int number);

} // namespace kestrum
