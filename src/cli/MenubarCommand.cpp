#include "CliSupport.h"
#include "Commands.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/MenuBarPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MenuBarPreferences.h"

#include <QJsonArray>
#include <QJsonObject>

namespace kestrum::cli {

namespace {

MenuBarPrimaryMetric metricArgument(const QString& text) {
    if (const auto metric = fromRawValue<MenuBarPrimaryMetric>(text))
        return *metric;
    throw UsageError{
        trTemplate("Bilinmeyen ölçüm: \\(name) (cpu, memory, battery, network, thermal, health)", {text})};
}

} // namespace

int runMenubar(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const auto primary = arguments.takeOption(QStringLiteral("--primary"));
    const bool showAll = arguments.takeFlag(QStringLiteral("--show-all"));
    const bool hideAll = arguments.takeFlag(QStringLiteral("--hide-all"));
    const double interval = arguments.takeNumber(QStringLiteral("--interval"), 0.1, 60).value_or(1.0);
    std::vector<std::pair<MenuBarPrimaryMetric, bool>> rowChanges;
    while (const auto row = arguments.takeOption(QStringLiteral("--show")))
        rowChanges.emplace_back(metricArgument(*row), true);
    while (const auto row = arguments.takeOption(QStringLiteral("--hide")))
        rowChanges.emplace_back(metricArgument(*row), false);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("menubar konumsal argüman almaz.")};
    if (showAll && hideAll)
        throw UsageError{trText("--show-all ile --hide-all birlikte kullanılamaz.")};

    JsonFilePreferencesStore store(KestrumPaths::preferencesFile());
    if (!store.loadProblem().isEmpty())
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(store.loadProblem()));
    MenuBarPreferences preferences(store);
    if (primary)
        preferences.setPrimaryMetric(metricArgument(*primary));
    if (showAll)
        preferences.showAllMetrics();
    if (hideAll)
        preferences.hideAllMetrics();
    for (const auto& [metric, visible] : rowChanges)
        preferences.setVisible(metric, visible);

    const std::optional<SystemSnapshot> taken = takeMachineSnapshot(interval);
    if (!taken)
        return ExitCode::interrupted;
    const SystemSnapshot& snapshot = *taken;

    const auto insights = HealthInsightEngine::insights(snapshot, baselineFromArchiveOrEmpty());
    const MenuBarHealthPresentation health = MenuBarHealthPresentation::resolve(snapshot, insights, true);
    const MenuBarPrimaryMetric metric = preferences.primaryMetric();
    const QString label = MenuBarMetricFormatter::labelText(metric, snapshot, true, health.title);
    const QString symbol = MenuBarMetricFormatter::systemImage(metric, snapshot, health.systemImage);

    if (asJson) {
        QJsonArray rows;
        for (const MenuBarPrimaryMetric row : allCases<MenuBarPrimaryMetric>()) {
            rows.append(QJsonObject{{QStringLiteral("metric"), rawValue(row)},
                                    {QStringLiteral("visible"), preferences.isVisible(row)},
                                    {QStringLiteral("label"),
                                     MenuBarMetricFormatter::labelText(row, snapshot, true, health.title)},
                                    {QStringLiteral("symbol"), MenuBarMetricFormatter::systemImage(
                                                                   row, snapshot, health.systemImage)}});
        }
        printJson(QJsonObject{{QStringLiteral("primaryMetric"), rawValue(metric)},
                              {QStringLiteral("label"), label},
                              {QStringLiteral("symbol"), symbol},
                              {QStringLiteral("healthTitle"), health.title},
                              {QStringLiteral("healthSymbol"), health.systemImage},
                              {QStringLiteral("rows"), rows}});
        return ExitCode::success;
    }
    const QString primaryLine = L10n::string(trText("Birincil ölçüm"));
    const QString healthLine = L10n::string(trText("Sağlık"));
    printGroups({PresentationGroup{
        QStringLiteral("menubar"),
        L10n::string(trText("Menü çubuğu")),
        true,
        {},
        {{primaryLine, QStringLiteral("%1  [%2]").arg(label, symbol)},
         {healthLine, QStringLiteral("%1  [%2]").arg(health.title, health.systemImage)}}}});
    printLine(L10n::string(trText("Görünen satırlar")));
    bool anyRow = false;
    for (const MenuBarPrimaryMetric row : allCases<MenuBarPrimaryMetric>()) {
        if (!preferences.isVisible(row))
            continue;
        anyRow = true;
        printLine(QStringLiteral("  ") +
                  MenuBarMetricFormatter::labelText(row, snapshot, true, health.title));
    }
    if (!anyRow)
        printLine(QStringLiteral("  ") + L10n::string(trText("Tüm satırlar gizli.")));
    return ExitCode::success;
}

} // namespace kestrum::cli
