#include "CliSupport.h"
#include "Commands.h"
#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "history/HealthArchive.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "reports/DiagnosticReportBuilder.h"
#include "reports/WeeklyHealthReportBuilder.h"

#include <QFile>
#include <QSysInfo>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace kestrum::cli {

QStringList machineNames() {
    QStringList names;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name)
        names << QString::fromLocal8Bit(entry->pw_name);
    for (const char* variable : {"USER", "LOGNAME"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            names << value;
    }
    names << QSysInfo::machineHostName();
    // The firmware's serials, where this user may read them (usually root only).
    for (const char* file : {"product_serial", "board_serial", "chassis_serial", "product_uuid"}) {
        QFile serial(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(file));
        if (serial.open(QIODevice::ReadOnly)) {
            const QString value = QString::fromUtf8(serial.read(256)).trimmed();
            if (value.size() < 4)
                continue;
            // Placeholders ("To be filled by O.E.M.", "None", "0000") identify nothing.
            const bool placeholder = value.contains(u' ') ||
                                     value.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0 ||
                                     value.count(value.front()) == value.size();
            if (!placeholder)
                names << value;
        }
    }
    return names;
}

namespace {

// "Debian GNU/Linux 12 (bookworm) · Linux 6.1.0-18-amd64": what the running system says it is.
QString operatingSystemVersion() {
    const QString product = QSysInfo::prettyProductName().trimmed();
    const QString kernel = QSysInfo::kernelVersion().trimmed();
    if (kernel.isEmpty())
        return product;
    const QString kernelText = QStringLiteral("Linux ") + kernel;
    return product.isEmpty() ? kernelText : product + QStringLiteral(" · ") + kernelText;
}

QString diagnosticReport(double interval, bool& interruptedOut) {
    const std::optional<SystemSnapshot> snapshot = takeMachineSnapshot(interval);
    if (!snapshot) {
        interruptedOut = true;
        return {};
    }
    HealthArchive archive;
    try {
        archive = loadArchiveForReading();
    } catch (const KestrumError& error) {
        // The report still describes the machine now; what the history would add is left out.
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error.description()));
    }
    const Date now = Date::now();
    const PersonalBaseline baseline =
        PersonalBaselineEngine::makeBaseline(archive.samples, now, PersonalBaselineEngine::kLookbackSeconds);
    // The incident being marked: the newest one still open.
    std::optional<IncidentSession> incident;
    for (const IncidentSession& candidate : archive.incidents) {
        if (!candidate.endedAt && (!incident || candidate.startedAt.secondsSinceReferenceDate >=
                                                    incident->startedAt.secondsSinceReferenceDate))
            incident = candidate;
    }
    DiagnosticReportBuilder builder;
    builder.distribution = ReportDistribution::advanced;
    builder.operatingSystemVersion = operatingSystemVersion();
    builder.privateWords = machineNames();
    return builder.build(*snapshot, HealthAssessmentEngine::assess(*snapshot), baseline, archive.events,
                         incident, archive.latestNetworkQualityResult, now);
}

QString weeklyReport() {
    return WeeklyHealthReportBuilder{}.build(
        WeeklyHealthReportInput::lastWeek(loadArchiveForReading(), Date::now()));
}

} // namespace

int runReport(Arguments& arguments) {
    const auto output = arguments.takeOption(QStringLiteral("-o"));
    const auto interval = arguments.takeNumber(QStringLiteral("--interval"), 0.1, 60);
    const QStringList positionals = arguments.positionals();
    if (positionals.size() != 1 ||
        (positionals[0] != QStringLiteral("diagnostic") && positionals[0] != QStringLiteral("weekly")))
        throw UsageError{trText("report için diagnostic veya weekly gerekli.")};
    const bool diagnostic = positionals[0] == QStringLiteral("diagnostic");
    if (!diagnostic && interval)
        throw UsageError{trText("--interval yalnız diagnostic raporu için geçerlidir; haftalık rapor yalnız "
                                "geçmişten oluşturulur.")};
    if (output && output->isEmpty())
        throw UsageError{trText("-o için bir dosya yolu gerekli.")};

    QString text;
    if (diagnostic) {
        bool wasInterrupted = false;
        text = diagnosticReport(interval.value_or(1.0), wasInterrupted);
        if (wasInterrupted)
            return ExitCode::interrupted;
    } else {
        try {
            text = weeklyReport();
        } catch (const KestrumError& error) {
            return fail(error.description());
        }
    }

    if (!output) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        return ExitCode::success;
    }
    try {
        // A reader finds the old file or the whole new one, never a part.
        writeFileAtomically(*output, text.toUtf8());
    } catch (const KestrumError& error) {
        return fail(trTemplate("Rapor kaydedilemedi: \\(description)", {error.description()}));
    }
    printLine(L10n::string(trTemplate("Rapor kaydedildi: \\(path)", {*output})));
    return ExitCode::success;
}

} // namespace kestrum::cli
