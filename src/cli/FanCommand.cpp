#include "CliSupport.h"
#include "Commands.h"
#include "LinuxFanControl.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString rpmText(const std::optional<double>& rpm) {
    return rpm ? MetricFormatting::number(*rpm, 0) + QStringLiteral(" RPM") : QStringLiteral("—");
}

QJsonValue optionalNumber(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

void printFans(const AdvancedFanControlStore& store) {
    for (const AdvancedFanTelemetryReading& fan : store.fans()) {
        printLine(
            L10n::string(trTemplate("Fan \\(index): \\(actual) (hedef \\(target), en az \\(minimum), en çok "
                                    "\\(maximum)) · \\(mode)",
                                    {QString::number(fan.index + 1), rpmText(fan.actualRPM),
                                     rpmText(fan.targetRPM), rpmText(fan.minimumRPM), rpmText(fan.maximumRPM),
                                     L10n::string(fan.isManual ? trText("elle") : trText("otomatik"))})));
    }
}

int printStatus(AdvancedFanControlStore& store, bool asJson) {
    if (asJson) {
        QJsonArray fans;
        for (const AdvancedFanTelemetryReading& fan : store.fans())
            fans.append(QJsonObject{{QStringLiteral("index"), fan.index},
                                    {QStringLiteral("actualRPM"), fan.actualRPM},
                                    {QStringLiteral("targetRPM"), optionalNumber(fan.targetRPM)},
                                    {QStringLiteral("minimumRPM"), optionalNumber(fan.minimumRPM)},
                                    {QStringLiteral("maximumRPM"), optionalNumber(fan.maximumRPM)},
                                    {QStringLiteral("isManual"), fan.isManual}});
        QJsonObject object{
            {QStringLiteral("registrationStatus"), rawValue(store.registrationStatus())},
            {QStringLiteral("helperState"), store.helperStateTitle()},
            {QStringLiteral("fanInterface"), store.fanInterface().isEmpty()
                                                 ? QJsonValue(QJsonValue::Null)
                                                 : QJsonValue(store.fanInterface())},
            {QStringLiteral("fans"), fans},
            {QStringLiteral("canStartBoost"), store.canStartBoost()},
            {QStringLiteral("statusMessage"), store.statusMessage()},
        };
        if (const auto& status = store.helperStatus())
            object.insert(QStringLiteral("helperStatus"),
                          QJsonObject{{QStringLiteral("result"), status->result},
                                      {QStringLiteral("boosting"), status->state == 1}});
        printJson(object);
        return ExitCode::success;
    }
    printHeading(L10n::string(trText("Fan kontrolü")));
    printLine(store.helperStateTitle());
    if (!store.statusMessage().isEmpty())
        printLine(store.statusMessage());
    if (const auto& status = store.helperStatus())
        printLine(L10n::string(status->state == 1 ? trText("Yardımcı servis şu an bir Fan Boost yürütüyor.")
                                                  : trText("Fanlar otomatik yönetimde.")));
    printFans(store);
    const QString blocker = store.boostBlocker();
    if (blocker.isEmpty())
        printLine(L10n::string(trText("Fan Boost başlatılabilir.")));
    else if (blocker != store.helperStateTitle() && blocker != store.statusMessage())
        printLine(blocker);
    return ExitCode::success;
}

int runBoost(AdvancedFanControlStore& store) {
    waitForTask(store.refresh());
    if (const QString blocker = store.boostBlocker(); !blocker.isEmpty()) {
        printError(blocker);
        return ExitCode::failure;
    }
    waitForTask(store.startBoost(LinuxFanControl::machine().thermalLevel()));
    if (!store.isBoosting()) {
        printError(store.statusMessage());
        return ExitCode::failure;
    }
    printLine(store.statusMessage());
    printLine(L10n::string(trText("Durdurmak için Ctrl-C; fanlar her durumda otomatik yönetime döner.")));

    QEventLoop loop;
    bool interrupted = false;
    int lastShown = -1;
    QObject::connect(&store, &AdvancedFanControlStore::boostEnded, &loop, [&loop] { loop.quit(); });
    QObject::connect(&store, &AdvancedFanControlStore::changed, &loop, [&store, &lastShown] {
        const int remaining = store.remainingSecondsValue();
        // A line every half minute is enough to show it is alive.
        if (remaining >= 0 && remaining / 30 != lastShown) {
            lastShown = remaining / 30;
            printLine(L10n::string(trTemplate("Kalan süre: \\(seconds) sn", {QString::number(remaining)})));
        }
    });
    installInterruptHandler([&] {
        interrupted = true;
        store.stopBoostNow();
    });
    loop.exec();
    printLine(store.statusMessage());
    const auto expired =
        AdvancedFanControlResult::automaticRestored(AdvancedFanAutomaticRestoreReason::durationExpired);
    return interrupted                                                             ? ExitCode::interrupted
           : store.statusMessage() == AdvancedFanControlStore::statusLine(expired) ? ExitCode::success
                                                                                   : ExitCode::failure;
}

} // namespace

int runFan(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const std::optional<QString> profile = arguments.takeOption(QStringLiteral("--profile"));
    const std::optional<long long> minutes = arguments.takeInteger(QStringLiteral("--minutes"), 1, 15);
    const QStringList words = arguments.positionals();
    const QString action = words.value(0);
    if (words.size() != 1 || (action != u"status" && action != u"boost" && action != u"stop"))
        throw UsageError{trText("Kullanım: kestrum-cli fan status|boost|stop")};
    if ((profile || minutes) && action != u"boost")
        throw UsageError{trText("--profile ve --minutes yalnız fan boost ile kullanılır.")};
    if (asJson && action != u"status")
        throw UsageError{trText("--json yalnız fan status ile kullanılır.")};

    const auto store = LinuxFanControl::makeStore();
    if (action == u"status") {
        waitForTask(store->refresh());
        return printStatus(*store, asJson);
    }
    if (action == u"boost") {
        const auto parsedProfile =
            fromRawValue<AdvancedFanBoostProfile>(profile.value_or(QStringLiteral("balanced")));
        if (!parsedProfile)
            throw UsageError{trText("--profile yalnız balanced veya maximumSafe olabilir.")};
        store->setSelectedProfile(*parsedProfile);
        store->setDurationMinutes(int(minutes.value_or(5)));
        return runBoost(*store);
    }
    waitForTask(store->refresh());
    if (store->registrationStatus() != AdvancedFanHelperRegistrationStatus::enabled) {
        printError(store->helperStateTitle());
        return ExitCode::failure;
    }
    waitForTask(store->restoreAutomaticNow());
    printLine(store->statusMessage());
    const auto restored =
        AdvancedFanControlResult::automaticRestored(AdvancedFanAutomaticRestoreReason::userStopped);
    return store->statusMessage() == AdvancedFanControlStore::statusLine(restored) ? ExitCode::success
                                                                                   : ExitCode::failure;
}

} // namespace kestrum::cli
