#include "AdvancedSensorInventory.h"

#include "foundation/Translatable.h"

#include <QJsonArray>
#include <cmath>

namespace kestrum {

namespace {

// One group of rules of one record, with the range its values must lie in.
struct RuleSet {
    AdvancedSensorRole role;
    QString evidenceID;
    std::vector<AdvancedHwmonChannelRule> rules;
    double divisor;
    ClosedRange<double> range;
};

template <class Record>
std::optional<Record> recordFor(const std::vector<Record>& records, const QString& name,
                                const AdvancedTelemetrySystemIdentity& identity) {
    return findRecord(records, name, identity.kernelMajorVersion, identity.kernelSeries);
}

template <class Record>
AdvancedRecordMatch matchFor(const std::vector<Record>& records, const QString& name,
                             const AdvancedTelemetrySystemIdentity& identity) {
    return matchRecords(records, name, identity.kernelMajorVersion, identity.kernelSeries);
}

std::vector<RuleSet> ruleSetsFor(const QString& name, const AdvancedTelemetrySystemIdentity& identity) {
    std::vector<RuleSet> sets;
    if (const auto r =
            recordFor(AdvancedComponentTemperatureCompatibilityCatalog::records(), name, identity)) {
        const double divisor = unitDivisor(r->expectedDataType);
        if (!r->cpuChannels.empty())
            sets.push_back(
                {AdvancedSensorRole::cpu, r->key.evidenceID, r->cpuChannels, divisor, r->validRangeCelsius});
        if (!r->gpuChannels.empty())
            sets.push_back(
                {AdvancedSensorRole::gpu, r->key.evidenceID, r->gpuChannels, divisor, r->validRangeCelsius});
    }
    if (const auto r = recordFor(AdvancedFanTelemetryCompatibilityCatalog::records(), name, identity)) {
        const double upper =
            r->expectedMaximumRPM ? r->expectedMaximumRPM->upper * 1.25 : r->safeRPMWithoutMaximum.upper;
        sets.push_back({AdvancedSensorRole::fan,
                        r->key.evidenceID,
                        r->fanChannels,
                        unitDivisor(r->expectedRPMDataType),
                        {0, upper}});
    }
    if (const auto r = recordFor(AdvancedBatteryTelemetryCompatibilityCatalog::records(), name, identity)) {
        // The same limits the battery provider applies.
        if (r->temperatureChannel)
            sets.push_back({AdvancedSensorRole::batteryTemperature,
                            r->key.evidenceID,
                            {*r->temperatureChannel},
                            r->temperatureDivisor,
                            {-20, 100}});
        if (r->voltageChannel)
            sets.push_back({AdvancedSensorRole::batteryVoltage,
                            r->key.evidenceID,
                            {*r->voltageChannel},
                            r->voltageDivisor,
                            {5, 30}});
        for (const AdvancedHwmonChannelRule& rule : r->amperageChannels)
            sets.push_back({AdvancedSensorRole::batteryCurrent,
                            r->key.evidenceID,
                            {rule},
                            r->amperageDivisor,
                            {-30, 30}});
    }
    return sets;
}

QString notVerifiedReason(const QString& name, const AdvancedTelemetrySystemIdentity& identity) {
    const AdvancedRecordMatch match =
        std::max({matchFor(AdvancedComponentTemperatureCompatibilityCatalog::records(), name, identity),
                  matchFor(AdvancedFanTelemetryCompatibilityCatalog::records(), name, identity),
                  matchFor(AdvancedBatteryTelemetryCompatibilityCatalog::records(), name, identity),
                  matchFor(AdvancedGPUUtilizationCompatibilityCatalog::records(), name, identity)});
    if (match == AdvancedRecordMatch::noRecordForModel)
        return trText("Bu sürücünün sensörleri doğrulanmış bir kayıtta yok.");
    return trTemplate("Bu sürücünün kaydı çekirdek \\(release) için doğrulanmadı.", {identity.kernelRelease});
}

AdvancedSensorChannel readOne(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                              const AdvancedHwmonChannel& channel, const RuleSet& set) {
    AdvancedSensorChannel out{channel.name(), channel.label, set.role, std::nullopt, set.evidenceID, {}};
    const AdvancedHwmonValue raw = readChannel(connection, device, channel);
    if (!raw.raw) {
        out.unavailableReason = trText("Sensör okunamadı.");
        return out;
    }
    const double value = double(*raw.raw) / set.divisor;
    if (!std::isfinite(value) || !set.range.contains(value)) {
        out.unavailableReason = trText("Sensör değeri güvenli aralığın dışında.");
        return out;
    }
    out.value = value;
    return out;
}

} // namespace

std::vector<AdvancedSensorDevice>
listAdvancedSensors(AdvancedHwmonReading& connection, const std::set<QString>& names,
                    const std::optional<AdvancedTelemetrySystemIdentity>& identity) {
    std::vector<AdvancedSensorDevice> out;
    for (const QString& name : names) {
        if (!identity) {
            out.push_back({name, {}, trText("Çekirdek sürümü okunamadı.")});
            continue;
        }
        const std::vector<RuleSet> sets = ruleSetsFor(name, *identity);
        const auto utilization =
            recordFor(AdvancedGPUUtilizationCompatibilityCatalog::records(), name, *identity);
        if (sets.empty() && !utilization) {
            out.push_back({name, {}, notVerifiedReason(name, *identity)});
            continue;
        }
        for (const AdvancedHwmonDevice& device : connection.devices(name)) {
            AdvancedSensorDevice listed{name, {}, {}};
            for (const RuleSet& set : sets) {
                const AdvancedHwmonResolution resolution = resolveChannels(connection, device, set.rules);
                if (!resolution.succeeded()) {
                    listed.channels.push_back({{},
                                               {},
                                               set.role,
                                               std::nullopt,
                                               set.evidenceID,
                                               trText("Kanallar doğrulanmış kayıtla eşleşmedi.")});
                    continue;
                }
                for (const AdvancedHwmonChannel& channel : resolution.channels)
                    listed.channels.push_back(readOne(connection, device, channel, set));
            }
            if (utilization) {
                const QString attribute =
                    utilization->statisticsKey + QLatin1Char('/') + utilization->utilizationKey;
                AdvancedSensorChannel channel{attribute,
                                              {},
                                              AdvancedSensorRole::gpuUtilization,
                                              std::nullopt,
                                              utilization->key.evidenceID,
                                              {}};
                const AdvancedHwmonValue raw = readIntegerAttribute(connection, device, attribute);
                if (!raw.raw)
                    channel.unavailableReason = trText("Sensör okunamadı.");
                else if (*raw.raw < 0 || *raw.raw > 100)
                    channel.unavailableReason = trText("Sensör değeri güvenli aralığın dışında.");
                else
                    channel.value = double(*raw.raw);
                listed.channels.push_back(std::move(channel));
            }
            out.push_back(std::move(listed));
        }
    }
    return out;
}

QString unitText(AdvancedSensorRole role) {
    switch (role) {
    case AdvancedSensorRole::cpu:
    case AdvancedSensorRole::gpu:
    case AdvancedSensorRole::batteryTemperature:
        return QStringLiteral("°C");
    case AdvancedSensorRole::fan:
        return QStringLiteral("rpm");
    case AdvancedSensorRole::batteryVoltage:
        return QStringLiteral("V");
    case AdvancedSensorRole::batteryCurrent:
        return QStringLiteral("A");
    case AdvancedSensorRole::gpuUtilization:
        return QStringLiteral("%");
    }
    return {};
}

QString roleTitle(AdvancedSensorRole role) {
    switch (role) {
    case AdvancedSensorRole::cpu:
        return trText("işlemci sıcaklığı");
    case AdvancedSensorRole::gpu:
        return trText("grafik işlemci sıcaklığı");
    case AdvancedSensorRole::fan:
        return trText("fan hızı");
    case AdvancedSensorRole::batteryTemperature:
        return trText("pil sıcaklığı");
    case AdvancedSensorRole::batteryVoltage:
        return trText("pil gerilimi");
    case AdvancedSensorRole::batteryCurrent:
        return trText("pil akımı");
    case AdvancedSensorRole::gpuUtilization:
        return trText("grafik işlemci kullanımı");
    }
    return {};
}

QString roleName(AdvancedSensorRole role) {
    switch (role) {
    case AdvancedSensorRole::cpu:
        return QStringLiteral("cpu");
    case AdvancedSensorRole::gpu:
        return QStringLiteral("gpu");
    case AdvancedSensorRole::fan:
        return QStringLiteral("fan");
    case AdvancedSensorRole::batteryTemperature:
        return QStringLiteral("batteryTemperature");
    case AdvancedSensorRole::batteryVoltage:
        return QStringLiteral("batteryVoltage");
    case AdvancedSensorRole::batteryCurrent:
        return QStringLiteral("batteryCurrent");
    case AdvancedSensorRole::gpuUtilization:
        return QStringLiteral("gpuUtilization");
    }
    return {};
}

QJsonObject sensorDeviceToJson(const AdvancedSensorDevice& device) {
    QJsonObject object{{QStringLiteral("name"), device.name},
                       {QStringLiteral("offered"), device.notOfferedReason.isEmpty()}};
    if (!device.notOfferedReason.isEmpty())
        object.insert(QStringLiteral("reason"), device.notOfferedReason);
    QJsonArray channels;
    for (const AdvancedSensorChannel& c : device.channels) {
        QJsonObject channel{{QStringLiteral("channel"), c.channel},
                            {QStringLiteral("role"), roleName(c.role)},
                            {QStringLiteral("unit"), unitText(c.role)},
                            {QStringLiteral("evidenceID"), c.evidenceID}};
        if (!c.label.isEmpty())
            channel.insert(QStringLiteral("label"), c.label);
        if (c.value)
            channel.insert(QStringLiteral("value"), *c.value);
        else
            channel.insert(QStringLiteral("reason"), c.unavailableReason);
        channels.append(channel);
    }
    object.insert(QStringLiteral("channels"), channels);
    return object;
}

} // namespace kestrum
