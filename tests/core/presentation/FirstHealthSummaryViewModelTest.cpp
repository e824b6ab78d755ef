// The first health summary over the window: when it opens by itself, where its button leads, and what it
// shows of the summary.

#include "presentation/FirstHealthSummaryViewModel.h"

#include "PresentationFixtures.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace kestrum;
using test::measuredSnapshot;
using test::MeasuredStore;

namespace {

struct Window {
    MeasuredStore& measured;
    std::vector<NavigationSection> opened;
    int refreshes = 0;
    FirstHealthSummaryStore store{
        &measured.store, &measured.preferences, {}, [this] { return measured.now; }};
    FirstHealthSummaryViewModel model{store, [this](NavigationSection section) { opened.push_back(section); },
                                      [this] { ++refreshes; }};
};

} // namespace

TEST(FirstHealthSummaryViewModel, EveryNextActionLeadsSomewhereThatCanDoIt) {
    using A = FirstHealthSummaryAction;
    using S = NavigationSection;
    using K = FirstHealthSummaryDestination::Kind;
    const std::pair<A, FirstHealthSummaryDestination> cases[] = {
        {A::stopIntensiveWorkAndCool, {K::section, S::performance}},
        {A::freeDiskSpace, {K::section, S::storageMap}},
        {A::reviewBatteryCondition, {K::section, S::battery}},
        {A::reduceSystemLoad, {K::section, S::performance}},
        {A::improveWiFi, {K::section, S::network}},
        {A::improveNetworkConditions, {K::section, S::network}},
        {A::runQuickHealthTest, {K::section, S::healthTest}},
        {A::runNetworkQualityTest, {K::section, S::network}},
        {A::retryLiveMeasurement, {K::refresh, S::overview}},
        {A::rerunQuickHealthTestAfterRestart, {K::section, S::healthTest}},
        {A::retryNetworkWhenOnline, {K::section, S::network}},
        {A::noActionNeeded, {K::section, S::overview}},
    };
    ASSERT_EQ(std::size(cases), std::size(EnumTraits<A>::cases)) << "every action has a destination";
    for (const auto& [action, destination] : cases) {
        SCOPED_TRACE(rawValue(action).toStdString());
        EXPECT_EQ(firstHealthSummaryDestination(action), destination);
    }
}

// It opens by itself once: only with the window on screen and a measurement in, and never again after
// the user has seen it — not in this run and not in the next one over the same preferences.
TEST(FirstHealthSummaryViewModel, OpensByItselfOnlyTheFirstTimeOverARealMeasurement) {
    test::ScopedLanguage turkish(false);
    MeasuredStore measured;
    {
        Window window{measured};
        QSignalSpy opened(&window.model, &FirstHealthSummaryViewModel::isOpenChanged);
        window.model.setWindowShown(true);
        EXPECT_FALSE(window.model.isOpen()) << "nothing measured yet";
        window.model.setWindowShown(false);
        measured.sample(measuredSnapshot());
        window.model.measurementArrived();
        EXPECT_FALSE(window.model.isOpen()) << "measured, but nobody looking";
        window.model.setWindowShown(true);
        ASSERT_TRUE(window.model.isOpen());
        EXPECT_EQ(opened.count(), 1);
        EXPECT_TRUE(window.model.hasSummary());
        EXPECT_FALSE(window.model.headline().isEmpty());
        EXPECT_TRUE(window.store.presentationState().firstViewedAt.has_value());

        window.model.close();
        window.model.measurementArrived();
        window.model.setWindowShown(true);
        EXPECT_FALSE(window.model.isOpen()) << "seen once; it does not come back by itself";
    }
    Window nextRun{measured};
    nextRun.model.setWindowShown(true);
    nextRun.model.measurementArrived();
    EXPECT_FALSE(nextRun.model.isOpen());
    nextRun.model.open(QStringLiteral("overview"));
    EXPECT_TRUE(nextRun.model.isOpen()) << "still reachable by hand";
}

// A section action closes the summary and opens the section; "retry the live measurement" takes a sample
// and keeps the summary open, which is rebuilt from it.
TEST(FirstHealthSummaryViewModel, TheButtonOpensTheSectionOrTakesASample) {
    test::ScopedLanguage turkish(false);
    MeasuredStore measured;
    Window window{measured};

    // Nothing measured: the summary cannot stand on evidence and asks for a live measurement.
    window.model.open(QStringLiteral("health_center"));
    ASSERT_TRUE(window.model.isOpen());
    EXPECT_EQ(window.model.nextActionText(), QStringLiteral("Canlı ölçümü yeniden dene"));
    EXPECT_EQ(window.model.state(), QStringLiteral("unavailable"));
    window.model.performNextAction();
    EXPECT_EQ(window.refreshes, 1);
    EXPECT_TRUE(window.model.isOpen());
    EXPECT_TRUE(window.opened.empty());

    // A sample comes in while it is open: the summary is rebuilt and its coverage says what was checked.
    QSignalSpy changed(&window.model, &FirstHealthSummaryViewModel::changed);
    measured.sample(measuredSnapshot());
    EXPECT_GE(changed.count(), 1);
    const int system = window.model.coverage()->indexOf(QStringLiteral("systemHealth"));
    ASSERT_GE(system, 0);
    EXPECT_NE(window.model.coverage()->value(system, "level"), QStringLiteral("unavailable"))
        << window.model.coverage()->value(system, "text").toString().toStdString();
    const int test = window.model.coverage()->indexOf(QStringLiteral("quickHealthTest"));
    ASSERT_GE(test, 0);
    EXPECT_EQ(window.model.coverage()->value(test, "level"), QStringLiteral("unavailable"))
        << "a test never run is not shown as passed";

    // Now the next step is the quick test: the button closes the summary and opens its section.
    EXPECT_EQ(window.model.nextActionText(), QStringLiteral("Hızlı Sağlık Testi’ni çalıştır"));
    window.model.performNextAction();
    EXPECT_FALSE(window.model.isOpen());
    EXPECT_EQ(window.opened, std::vector<NavigationSection>{NavigationSection::healthTest});
}
