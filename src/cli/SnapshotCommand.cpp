#include "CliSupport.h"
#include "Commands.h"
#include "LinuxNetworkPathProvider.h"
#include "LinuxServices.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MeasurementJson.h"
#include "measurement/SnapshotPresentation.h"

namespace kestrum::cli {

std::optional<SystemSnapshot> takeMachineSnapshot(double interval) {
    std::shared_ptr<LinuxNetworkPathProvider> path;
    auto sampler = LinuxServices::makeSampler({}, &path);
    // Let the network path arrive first, so that the traffic rates have a baseline to compare against.
    path->waitForFirstUpdate(std::chrono::seconds(3));
    // The first sample only sets the baselines of the usage and traffic rates.
    sampler->sample().waitForFinished();
    if (!waitWithEvents(interval))
        return std::nullopt;
    return sampler->sample().result();
}

int runSnapshot(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const double interval = arguments.takeNumber(QStringLiteral("--interval"), 0.1, 60).value_or(1.0);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("snapshot konumsal argüman almaz.")};

    const std::optional<SystemSnapshot> taken = takeMachineSnapshot(interval);
    if (!taken)
        return ExitCode::interrupted;
    const SystemSnapshot& snapshot = *taken;
    if (asJson) {
        printJson(snapshotToJson(snapshot));
        return ExitCode::success;
    }
    printHeading(L10n::string(
        trTemplate("Kestrum anlık ölçüm · \\(date)",
                   {L10n::date(snapshot.timestamp, L10n::DateStyle::numeric, L10n::TimeStyle::standard)})));
    printGroups(SnapshotPresentation::groups(snapshot));
    return ExitCode::success;
}

} // namespace kestrum::cli
