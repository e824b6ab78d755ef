#include "AdvancedTelemetrySystemIdentity.h"

#include <QRegularExpression>

namespace kestrum {

std::optional<KernelSeries> KernelSeries::parse(const QString& release) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,4})\\.(\\d{1,4})(?:[.\\-+_~].*)?$"));
    const auto match = pattern.match(release.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return KernelSeries{match.captured(1).toInt(), match.captured(2).toInt()};
}

std::optional<AdvancedTelemetrySystemIdentity>
AdvancedTelemetrySystemIdentity::make(std::set<QString> modelIdentifiers, const QString& kernelRelease) {
    const auto series = KernelSeries::parse(kernelRelease);
    if (!series)
        return std::nullopt;
    return AdvancedTelemetrySystemIdentity{std::move(modelIdentifiers), kernelRelease.trimmed(),
                                           series->major, *series};
}

} // namespace kestrum
