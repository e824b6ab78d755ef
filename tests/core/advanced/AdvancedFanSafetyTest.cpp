#include "advanced/AdvancedFanSafetyController.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <set>

using namespace kestrum;

namespace {

using Decision = AdvancedFanSafetyDecision;
using Refusal = AdvancedFanRequestRefusal;
using Reason = AdvancedFanAutomaticRestoreReason;
using Thermal = AdvancedFanThermalCondition;
using Command = AdvancedFanHelperCommand;

const QUuid kSession = QUuid::fromString(QStringLiteral("{6f1c0d2a-1b7e-4c55-9d0e-2a9e3c1b7f01}"));
const QUuid kOther = QUuid::fromString(QStringLiteral("{0b9d1e44-77aa-4e0f-8c3b-5d2e6f7a8b90}"));

AdvancedFanCompatibilityRecord released(const char* model, bool enabled = true) {
    return {{QString::fromLatin1(model), {6, 6}, {{6, 1}, {6, 12}}, QStringLiteral("evidence")}, enabled};
}

AdvancedFanSafetyContext goodContext() {
    AdvancedFanSafetyContext c;
    c.distributionChannel = AppDistributionChannel::directAdvanced;
    c.modelIdentifier = QStringLiteral("thinkpad");
    c.kernelMajorVersion = 6;
    c.kernelSeries = {6, 1};
    c.helperTrust = AdvancedFanHelperTrust::authenticated;
    c.requiredSensorsAvailable = true;
    c.thermalCondition = Thermal::nominal;
    return c;
}

Decision refused(Refusal r) {
    return {Decision::Refused{r}};
}
Decision restores(Reason r) {
    return {Decision::Execute{{Command::RestoreAutomatic{r}}}};
}
Decision renews(double lease) {
    return {Decision::Execute{{Command::RenewLease{kSession, lease}}}};
}
Decision begins(double duration) {
    return {Decision::Execute{
        {Command::BeginBoost{kSession, AdvancedFanBoostProfile::maximumSafe, duration, 5}}}};
}

AdvancedFanBoostRequest request(double duration) {
    return {kSession, AdvancedFanBoostProfile::maximumSafe, duration};
}

} // namespace

TEST(AdvancedFanSafetyController, StartingABoostChecksEachConditionInOrder) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<AdvancedFanCompatibilityRecord> records;
        std::function<void(AdvancedFanSafetyContext&)> change;
        double duration;
        Decision expected;
    } cases[] = {
        {"all conditions hold", {released("thinkpad")}, [](auto&) {}, 600, begins(600)},
        {"shortest boost", {released("thinkpad")}, [](auto&) {}, 30, begins(30)},
        {"longest boost", {released("thinkpad")}, [](auto&) {}, 900, begins(900)},
        {"thermal fair passes",
         {released("thinkpad")},
         [](auto& c) { c.thermalCondition = Thermal::fair; },
         60,
         begins(60)},
        {"second record matches", {released("applesmc"), released("thinkpad")}, [](auto&) {}, 60, begins(60)},
        {"too short", {released("thinkpad")}, [](auto&) {}, 29.9, refused(Refusal::invalidDuration)},
        {"too long", {released("thinkpad")}, [](auto&) {}, 900.1, refused(Refusal::invalidDuration)},
        {"NaN", {released("thinkpad")}, [](auto&) {}, nan, refused(Refusal::invalidDuration)},
        {"serious",
         {released("thinkpad")},
         [](auto& c) { c.thermalCondition = Thermal::serious; },
         60,
         refused(Refusal::unsafeThermalState)},
        {"critical",
         {released("thinkpad")},
         [](auto& c) { c.thermalCondition = Thermal::critical; },
         60,
         refused(Refusal::unsafeThermalState)},
        {"unknown",
         {released("thinkpad")},
         [](auto& c) { c.thermalCondition = Thermal::unknown; },
         60,
         refused(Refusal::unsafeThermalState)},
        {"unsafe thermal before a bad duration",
         {released("thinkpad")},
         [](auto& c) { c.thermalCondition = Thermal::unknown; },
         1,
         refused(Refusal::unsafeThermalState)},
        {"sensors missing",
         {released("thinkpad")},
         [](auto& c) {
             c.requiredSensorsAvailable = false;
             c.thermalCondition = Thermal::critical;
         },
         60,
         refused(Refusal::missingSafetySensors)},
        {"helper rejected",
         {released("thinkpad")},
         [](auto& c) {
             c.helperTrust = AdvancedFanHelperTrust::rejected;
             c.requiredSensorsAvailable = false;
         },
         60,
         refused(Refusal::helperRejected)},
        {"helper unavailable",
         {released("thinkpad")},
         [](auto& c) { c.helperTrust = AdvancedFanHelperTrust::unavailable; },
         60,
         refused(Refusal::helperUnavailable)},
        {"no records at all",
         {},
         [](auto& c) { c.helperTrust = AdvancedFanHelperTrust::unavailable; },
         60,
         refused(Refusal::unsupportedHardware)},
        {"record not enabled in this build",
         {released("thinkpad", false)},
         [](auto&) {},
         60,
         refused(Refusal::unsupportedHardware)},
        {"other driver", {released("applesmc")}, [](auto&) {}, 60, refused(Refusal::unsupportedHardware)},
        {"kernel major outside",
         {released("thinkpad")},
         [](auto& c) { c.kernelMajorVersion = 5; },
         60,
         refused(Refusal::unsupportedHardware)},
        {"kernel series outside",
         {released("thinkpad")},
         [](auto& c) {
             c.kernelSeries = {6, 13};
         },
         60,
         refused(Refusal::unsupportedHardware)},
        {"wrong distribution first",
         {},
         [](auto& c) { c.distributionChannel = AppDistributionChannel::appStore; },
         1,
         refused(Refusal::wrongDistribution)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AdvancedFanSafetyController controller(c.records);
        AdvancedFanSafetyContext context = goodContext();
        c.change(context);
        EXPECT_EQ(controller.requestBoost(request(c.duration), context, 1000), c.expected);
        const bool started = std::holds_alternative<Decision::Execute>(c.expected.value);
        ASSERT_EQ(controller.activeSession().has_value(), started);
        if (started) {
            EXPECT_EQ(*controller.activeSession(),
                      (AdvancedFanBoostSession{kSession, AdvancedFanBoostProfile::maximumSafe,
                                               1000 + c.duration, 1000}));
        }
    }
}

TEST(AdvancedFanSafetyController, AWhileRunningBoostRefusesAnother) {
    AdvancedFanSafetyController controller({released("thinkpad")});
    ASSERT_EQ(controller.requestBoost(request(60), goodContext(), 0), begins(60));
    AdvancedFanSafetyContext broken = goodContext();
    broken.distributionChannel = AppDistributionChannel::appStore; // "already running" is checked first
    EXPECT_EQ(controller.requestBoost(request(60), broken, 1), refused(Refusal::alreadyRunning));
}

TEST(AdvancedFanSafetyController, HeartbeatsRenewOrEndTheBoost) {
    struct Beat {
        QUuid session;
        double at;
        Thermal thermal;
        Decision expected;
    };
    struct Case {
        const char* what;
        std::vector<Beat> beats; // the boost starts at 100 for 60 s (deadline 160)
        bool stillActive;
    } cases[] = {
        {"renews every 2 s",
         {{kSession, 102, Thermal::nominal, renews(5)}, {kSession, 104, Thermal::fair, renews(5)}},
         true},
        {"exactly 5 s still renews", {{kSession, 105, Thermal::nominal, renews(5)}}, true},
        {"5.1 s is too late",
         {{kSession, 105.1, Thermal::nominal, restores(Reason::heartbeatExpired)}},
         false},
        {"3 s before the deadline asks for 3 s",
         {{kSession, 105, Thermal::nominal, renews(5)},
          {kSession, 110, Thermal::nominal, renews(5)},
          {kSession, 115, Thermal::nominal, renews(5)},
          {kSession, 120, Thermal::nominal, renews(5)},
          {kSession, 125, Thermal::nominal, renews(5)},
          {kSession, 130, Thermal::nominal, renews(5)},
          {kSession, 135, Thermal::nominal, renews(5)},
          {kSession, 140, Thermal::nominal, renews(5)},
          {kSession, 145, Thermal::nominal, renews(5)},
          {kSession, 150, Thermal::nominal, renews(5)},
          {kSession, 155, Thermal::nominal, renews(5)},
          {kSession, 157, Thermal::nominal, renews(3)}},
         true},
        {"the deadline ends it",
         {{kSession, 105, Thermal::nominal, renews(5)},
          {kSession, 110, Thermal::nominal, renews(5)},
          {kSession, 115, Thermal::nominal, renews(5)},
          {kSession, 120, Thermal::nominal, renews(5)},
          {kSession, 125, Thermal::nominal, renews(5)},
          {kSession, 130, Thermal::nominal, renews(5)},
          {kSession, 135, Thermal::nominal, renews(5)},
          {kSession, 140, Thermal::nominal, renews(5)},
          {kSession, 145, Thermal::nominal, renews(5)},
          {kSession, 150, Thermal::nominal, renews(5)},
          {kSession, 155, Thermal::nominal, renews(5)},
          {kSession, 160, Thermal::nominal, restores(Reason::durationExpired)}},
         false},
        {"a late beat past the deadline is a duration expiry",
         {{kSession, 170, Thermal::nominal, restores(Reason::durationExpired)}},
         false},
        {"thermal before the deadline",
         {{kSession, 170, Thermal::serious, restores(Reason::thermalSafetyStop)}},
         false},
        {"unknown thermal stops",
         {{kSession, 102, Thermal::unknown, restores(Reason::thermalSafetyStop)}},
         false},
        {"another session before everything",
         {{kOther, 170, Thermal::critical, restores(Reason::invalidSession)}},
         false},
        {"nothing after the end",
         {{kSession, 102, Thermal::critical, restores(Reason::thermalSafetyStop)},
          {kSession, 104, Thermal::nominal, {Decision::NoChange{}}}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AdvancedFanSafetyController controller({released("thinkpad")});
        ASSERT_EQ(controller.requestBoost(request(60), goodContext(), 100), begins(60));
        for (const Beat& beat : c.beats) {
            SCOPED_TRACE(beat.at);
            EXPECT_EQ(controller.receiveHeartbeat(beat.session, beat.at, beat.thermal), beat.expected);
        }
        EXPECT_EQ(controller.activeSession().has_value(), c.stillActive);
    }
}

TEST(AdvancedFanSafetyController, StopRestoresOnceThenReportsNoChange) {
    AdvancedFanSafetyController controller({released("thinkpad")});
    EXPECT_EQ(controller.stop(Reason::userStopped), (Decision{Decision::NoChange{}}));
    ASSERT_EQ(controller.requestBoost(request(60), goodContext(), 0), begins(60));
    EXPECT_EQ(controller.stop(Reason::sleep), restores(Reason::sleep));
    EXPECT_EQ(controller.stop(Reason::userStopped), (Decision{Decision::NoChange{}}));
    EXPECT_EQ(controller.receiveHeartbeat(kSession, 2, Thermal::nominal), (Decision{Decision::NoChange{}}));
    // A new boost may start once the old one is gone.
    EXPECT_EQ(controller.requestBoost(request(60), goodContext(), 3), begins(60));
}

TEST(AdvancedFanCompatibilityCatalog, ReleasesOnlyFansWithAFirmwareSafetyNet) {
    std::set<QString> drivers;
    for (const AdvancedFanCompatibilityRecord& record : AdvancedFanCompatibilityCatalog::releaseRecords())
        drivers.insert(record.key.modelIdentifier);
    EXPECT_EQ(drivers, (std::set<QString>{QStringLiteral("thinkpad"), QStringLiteral("applesmc")}));
}
