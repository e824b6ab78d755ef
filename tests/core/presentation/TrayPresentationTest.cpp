// What the tray item shows for a state.

#include "presentation/TrayPresentation.h"

#include "PresentationFixtures.h"

#include <gtest/gtest.h>

using namespace kestrum;
using M = MenuBarPrimaryMetric;

namespace {
SystemSnapshot measured() {
    SystemSnapshot s = test::measuredSnapshot();
    s.cpu.perCoreUsage = {0.2, 0.268};
    return s;
}
} // namespace

TEST(TrayPresentation, LabelIconTextTooltipAndRows) {
    test::ScopedLanguage turkish(false);
    const SystemSnapshot s = measured();
    struct Case {
        const char* name;
        M primary;
        SystemSnapshot snapshot;
        bool measured;
        const char* label;
        const char* iconText;
        const char* symbol;
    } cases[] = {
        {"cpu", M::cpu, s, true, "CPU 23%", "23", "cpu"},
        {"before the first sample", M::cpu, s, false, "CPU —", "", "cpu"},
        {"memory", M::memory, s, true, "RAM 30%", "30", "memorychip"},
        {"network rate", M::network, s, true, "↓1,3 MB/sn", "1,3M", "arrow.down.circle"},
        {"thermal has no number", M::thermal, s, true, "Termal Normal", "", "checkmark.circle.fill"},
        {"battery missing", M::battery, s, true, "Batarya —", "", "battery.75percent"},
    };
    for (const auto& c : cases) {
        const TrayPresentation p =
            TrayPresentation::make(c.snapshot, {}, c.measured, c.primary, {M::cpu, M::health});
        EXPECT_EQ(p.label, QString::fromUtf8(c.label)) << c.name;
        EXPECT_EQ(p.iconText, QString::fromUtf8(c.iconText)) << c.name;
        EXPECT_EQ(p.symbol, QString::fromUtf8(c.symbol)) << c.name;
        ASSERT_EQ(p.rows.size(), 2u) << c.name;
        EXPECT_EQ(p.rows[1].metric, M::health) << c.name;
    }
    const HealthInsight critical{HealthInsightKind::thermal,        HealthLevel::critical, {}, {}, {},
                                 QStringLiteral("thermal-critical")};
    const TrayPresentation alarmed = TrayPresentation::make(s, {critical}, true, M::cpu, {});
    EXPECT_EQ(alarmed.tooltip, QStringLiteral("CPU 23% · Sağlık: Kritik"));
    EXPECT_EQ(alarmed.healthSymbol, QStringLiteral("exclamationmark.octagon.fill"));
    EXPECT_TRUE(alarmed.rows.empty());
    SystemSnapshot fast = s;
    fast.network.downloadBytesPerSecond = 12'400'000;
    EXPECT_EQ(TrayPresentation::make(fast, {}, true, M::network, {}).iconText, QStringLiteral("12M"));
    test::ScopedLanguage english(true);
    EXPECT_EQ(TrayPresentation::make(s, {}, true, M::network, {}).iconText, QStringLiteral("1.3M"));
}
