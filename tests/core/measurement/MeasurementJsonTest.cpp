#include "measurement/MeasurementJson.h"

#include "foundation/JsonCodec.h"
#include "foundation/KestrumError.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

SystemSnapshot richSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}")),
                                             Date{786000000.25});
    s.cpu = CPUStats{0.25, {0.5, 0.0}, {1.5, 1.0}, MetricAvailability::available()};
    s.memory = MemoryStats{8'000'000'000ull, 16'000'000'000ull, 0, 1024, MetricAvailability::available()};
    s.battery.isPresent = true;
    s.battery.chargeFraction = 0.5;
    s.battery.healthCondition = QStringLiteral("Good");
    s.battery.availability = MetricAvailability::available();
    s.thermal = ThermalLevel::serious;
    s.network = NetworkStats::disconnected();
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::other;
    s.network.wifiConnectionDetails.standard = WiFiStandard::wifi6E;
    s.network.wifiConnectionDetails.band = WiFiBand::twoPointFourGHz;
    s.network.wifiConnectionDetails.security = WiFiSecurity::wpa3Transition;
    s.network.connectionDetails.dnsServerAddresses = {QStringLiteral("1.1.1.1")};
    s.network.trafficAvailability = MetricAvailability::permissionRequired(QStringLiteral("izin"));
    s.fan.readings = {FanReading{0, 1200, 1300, 1000, 6000, false}};
    return s;
}

} // namespace

TEST(MeasurementJson, SnapshotRoundTripsAndUsesRawValues) {
    const SystemSnapshot original = richSnapshot();
    const QJsonValue json = snapshotToJson(original);
    EXPECT_EQ(snapshotFromJson(json), original);

    const QJsonObject object = json.toObject();
    EXPECT_EQ(object.value(QStringLiteral("id")).toString(),
              QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(object.value(QStringLiteral("thermal")).toString(), QStringLiteral("serious"));
    const QJsonObject network = object.value(QStringLiteral("network")).toObject();
    EXPECT_EQ(network.value(QStringLiteral("interfaceKind")).toString(), QStringLiteral("Diğer"));
    EXPECT_FALSE(network.contains(QStringLiteral("wifiRSSI"))) << "absent optionals are omitted";
    EXPECT_EQ(network.value(QStringLiteral("trafficAvailability")).toObject(),
              (QJsonObject{{QStringLiteral("state"), QStringLiteral("permissionRequired")},
                           {QStringLiteral("reason"), QStringLiteral("izin")}}));
    EXPECT_EQ(object.value(QStringLiteral("cpu")).toObject().value(QStringLiteral("availability")).toObject(),
              (QJsonObject{{QStringLiteral("state"), QStringLiteral("available")}}));
    // Pretty, sorted keys.
    const QByteArray text = json::toDocumentBytes(json);
    EXPECT_LT(text.indexOf("\"battery\""), text.indexOf("\"componentTemperatures\""));
    EXPECT_TRUE(text.contains("\n    \""));
}

TEST(MeasurementJson, DecodingErrorsNameTheField) {
    const QJsonObject good = snapshotToJson(richSnapshot()).toObject();
    struct Case {
        const char* name;
        std::function<void(QJsonObject&)> damage;
        QString expectedFragment;
    } cases[] = {
        {"missing timestamp", [](QJsonObject& o) { o.remove(QStringLiteral("timestamp")); },
         QStringLiteral("timestamp")},
        {"unknown thermal level",
         [](QJsonObject& o) { o.insert(QStringLiteral("thermal"), QStringLiteral("warm")); },
         QStringLiteral("“warm”: thermal")},
        {"wrong type deep inside",
         [](QJsonObject& o) {
             QJsonObject cpu = o.value(QStringLiteral("cpu")).toObject();
             cpu.insert(QStringLiteral("perCoreUsage"), QJsonArray{0.1, QStringLiteral("x")});
             o.insert(QStringLiteral("cpu"), cpu);
         },
         QStringLiteral("cpu.perCoreUsage[1]")},
        {"bad uuid", [](QJsonObject& o) { o.insert(QStringLiteral("id"), QStringLiteral("not-a-uuid")); },
         QStringLiteral("id")},
        {"unknown availability state",
         [](QJsonObject& o) {
             QJsonObject disk = o.value(QStringLiteral("disk")).toObject();
             disk.insert(QStringLiteral("availability"),
                         QJsonObject{{QStringLiteral("state"), QStringLiteral("maybe")}});
             o.insert(QStringLiteral("disk"), disk);
         },
         QStringLiteral("disk.availability.state")},
    };
    for (const auto& c : cases) {
        QJsonObject damaged = good;
        c.damage(damaged);
        try {
            snapshotFromJson(damaged);
            ADD_FAILURE() << c.name << ": decoded";
        } catch (const KestrumError& error) {
            EXPECT_EQ(error.code(), QStringLiteral("decoding")) << c.name;
            EXPECT_TRUE(error.description().contains(c.expectedFragment))
                << c.name << ": " << error.description().toStdString();
        }
    }
}
