// kestrum-cli scan | scan report | scan history: the full system scan through the monitoring store, with a
// progress bar of its steps on a terminal, Ctrl-C that cancels (nothing is stored then), and its Markdown
// report written whole or not at all.

#include "CliSupport.h"
#include "Commands.h"
#include "LinuxNetworkPathProvider.h"
#include "LinuxReportContext.h"
#include "LinuxServices.h"
#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/ProcessLock.h"
#include "foundation/Translatable.h"
#include "fullscan/FullSystemScanReportBuilder.h"
#include "history/HealthArchive.h"
#include "localisation/L10n.h"
#include "monitor/OperationDescription.h"
#include "monitor/SystemMonitorStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString clockText(double seconds) {
    const long long total = std::max(0LL, static_cast<long long>(seconds + 0.5));
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString scoreText(std::optional<int> score) {
    return score ? QStringLiteral("%1/100").arg(*score) : tr("Uygulanamaz");
}

// The bar of the scan's steps on standard error, redrawn in place; only on a terminal.
class ScanProgressBar {
public:
    explicit ScanProgressBar(const SystemMonitorStore& store)
        : m_store(store), m_enabled(::isatty(STDERR_FILENO) == 1) {
        m_clock.start();
    }
    void draw() {
        const auto& progress = m_store.progress(UserOperation::fullSystemScan);
        if (!m_enabled || !progress)
            return;
        constexpr int kWidth = 28;
        const int filled = static_cast<int>(std::clamp(progress->fraction.value_or(0.0), 0.0, 1.0) * kWidth);
        QString line =
            QStringLiteral("[%1%2] %3 · %4/%5 · %6")
                .arg(QString(filled, u'#'), QString(kWidth - filled, u'.'), L10n::string(progress->phase))
                .arg(progress->step)
                .arg(progress->stepCount)
                .arg(clockText(m_clock.elapsed() / 1000.0));
        if (progress->estimatedTotalSeconds)
            line += QStringLiteral(" / ~%1").arg(clockText(*progress->estimatedTotalSeconds));
        const QByteArray bytes = (QStringLiteral("\r\033[K") + line).toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        m_drawn = true;
    }
    void clear() {
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_drawn = false;
    }

private:
    const SystemMonitorStore& m_store;
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_clock;
};

void printResult(const FullSystemScanResult& r) {
    printHeading(L10n::string(
        trTemplate("Tam Tarama · \\(date)",
                   {L10n::date(r.endedAt, L10n::DateStyle::numeric, L10n::TimeStyle::standard)})));
    printLine(L10n::string(trTemplate(
        "Genel puan \\(score) · Güven: \\(confidence) · Kapsam \\(completed)/\\(count)",
        {r.overallScore ? QStringLiteral("%") + QString::number(*r.overallScore) : trText("Hesaplanamadı"),
         FullSystemScanReportBuilder::confidenceTitle(r.confidence),
         QString::number(r.completedComponentCount()), QString::number(r.components.size())})));
    printLine();
    printLine(L10n::localizedFragment(r.simpleSummary));
    printLine();
    std::vector<PresentationRow> rows;
    for (const FullSystemScanComponentResult& c : r.components)
        rows.push_back({L10n::string(FullSystemScanReportBuilder::title(c.kind)),
                        L10n::string(FullSystemScanReportBuilder::title(c.state)) + QStringLiteral(" · ") +
                            scoreText(c.score) + QStringLiteral("  ") +
                            L10n::localizedFragment(c.simpleExplanation)});
    printGroups({PresentationGroup{QStringLiteral("components"), tr("Bileşenler"), true, {}, rows}});
    printHeading(tr("Bulgular ve öneriler"));
    for (const FullSystemScanFinding& f : r.findings) {
        printLine(QStringLiteral("[%1] %2").arg(L10n::string(FullSystemScanReportBuilder::title(f.level)),
                                                L10n::localizedFragment(f.title)));
        printLine(QStringLiteral("  ") + L10n::localizedFragment(f.simpleExplanation));
        printLine(QStringLiteral("  → ") + L10n::localizedFragment(f.recommendation));
    }
    printLine();
    printLine(tr("Son 12 tarama yerel geçmişte tutulur."));
}

// The stored scans, oldest first; a stored result this version cannot read is left out.
std::vector<FullSystemScanResult> storedScans() {
    std::vector<FullSystemScanResult> results;
    for (const QJsonObject& stored : loadArchiveForReading().fullSystemScanResults) {
        try {
            results.push_back(fullSystemScanResultFromJson(stored));
        } catch (const KestrumError&) {
        }
    }
    return results;
}

int runScanReport(Arguments& arguments) {
    const auto output = arguments.takeOption(QStringLiteral("-o"));
    const QStringList positionals = arguments.positionals();
    if (positionals.size() > 1)
        throw UsageError{trText("scan report en fazla bir tarama kimliği alır.")};
    if (output && output->isEmpty())
        throw UsageError{trText("-o için bir dosya yolu gerekli.")};
    const std::vector<FullSystemScanResult> scans = storedScans();
    const FullSystemScanResult* chosen = nullptr;
    if (positionals.isEmpty()) {
        if (!scans.empty())
            chosen = &scans.back();
    } else {
        const QString prefix = positionals[0].trimmed().toUpper().remove(u'{').remove(u'}');
        if (prefix.size() < 4)
            throw UsageError{trText("Tarama kimliğinin en az ilk 4 karakteri gerekli.")};
        for (const FullSystemScanResult& scan : scans) {
            if (scan.id.toString(QUuid::WithoutBraces).toUpper().startsWith(prefix))
                chosen = &scan;
        }
    }
    if (!chosen)
        return fail(positionals.isEmpty()
                        ? trText("Kayıtlı bir Tam Tarama yok. Önce kestrum-cli scan çalıştırın.")
                        : trTemplate("Bu kimlikle kayıtlı bir tarama yok: \\(id)", {positionals[0]}));
    FullSystemScanReportBuilder builder;
    builder.privateWords = LinuxReportContext::machineNames();
    const QString text = builder.markdown(*chosen);
    if (!output) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        return ExitCode::success;
    }
    try {
        // A reader finds the old file or the whole new one, never a part.
        writeFileAtomically(*output, text.toUtf8());
    } catch (const KestrumError&) {
        return fail(trText("Rapor kaydedilemedi. Lütfen başka bir konum seçip yeniden deneyin."));
    }
    printLine(L10n::string(trTemplate("Rapor kaydedildi: \\(path)", {*output})));
    return ExitCode::success;
}

int runScanHistory(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("scan history konumsal argüman almaz.")};
    const std::vector<FullSystemScanResult> scans = storedScans();
    if (asJson) {
        QJsonArray array;
        for (const FullSystemScanResult& scan : scans)
            array.append(fullSystemScanResultToJson(scan));
        printJson(array);
        return ExitCode::success;
    }
    if (scans.empty()) {
        printLine(tr("Kayıtlı bir Tam Tarama yok."));
        return ExitCode::success;
    }
    for (auto it = scans.rbegin(); it != scans.rend(); ++it) {
        printLine(L10n::string(trTemplate(
            "\\(id) · \\(date) · puan \\(score) · kapsam \\(completed)/\\(count)",
            {it->id.toString(QUuid::WithoutBraces).left(8).toUpper(),
             L10n::date(it->endedAt, L10n::DateStyle::numeric, L10n::TimeStyle::shortened),
             it->overallScore ? QString::number(*it->overallScore) : trText("Hesaplanamadı"),
             QString::number(it->completedComponentCount()), QString::number(it->components.size())})));
    }
    printLine();
    printLine(tr("Son 12 tarama yerel geçmişte tutulur."));
    return ExitCode::success;
}

} // namespace

int runScan(Arguments& arguments) {
    if (arguments.takeFlag(QStringLiteral("report")))
        return runScanReport(arguments);
    if (arguments.takeFlag(QStringLiteral("history")))
        return runScanHistory(arguments);
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool includeNetwork = arguments.takeFlag(QStringLiteral("--include-network"));
    const bool includeSpeed = arguments.takeFlag(QStringLiteral("--include-speed"));
    const bool consented = arguments.takeFlag(QStringLiteral("--yes"));
    const bool explain = arguments.takeFlag(QStringLiteral("--explain"));
    const bool allowLowBattery = arguments.takeFlag(QStringLiteral("--allow-low-battery"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("scan için report, history veya seçenekler gerekli.")};
    if (includeSpeed && !consented)
        throw UsageError{trText("Hız testi açık onay ister: onaylamak için --yes verin.")};

    ProcessLock lock(monitorLockPath());
    if (!lock.tryLock())
        return fail(
            trText("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor; sonucu kaydedebilmek için "
                   "testi o uygulamadan başlatın veya onu kapatın."));
    const QString cancelled =
        QString::fromUtf8(OperationDescription::of(UserOperation::fullSystemScan).cancellationMessage);
    SystemMonitorStore* running = nullptr;
    bool interrupted = false;
    installInterruptHandler([&] {
        interrupted = true;
        if (running)
            running->cancelOperation(UserOperation::fullSystemScan);
    });
    std::shared_ptr<LinuxNetworkPathProvider> path;
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices({}, {}, &path);
    SystemMonitorStore& store = *services.store;
    if (path)
        path->waitForFirstUpdate(std::chrono::seconds(3));
    waitForTask(store.prepareArchive());
    if (!store.isArchivePrepared())
        return fail(store.persistenceError());
    waitForTask(store.refresh());
    if (interrupted)
        return fail(cancelled, ExitCode::interrupted);

    if (!store.startFullSystemScan(allowLowBattery, includeNetwork || includeSpeed, QStringLiteral("cli"),
                                   includeSpeed))
        return fail(store.fullSystemScanError());
    ScanProgressBar bar(store);
    if (store.isFullSystemScanRunning()) {
        running = &store;
        QEventLoop loop;
        QObject::connect(&store, &SystemMonitorStore::operationsChanged, &loop, [&] {
            bar.draw();
            if (!store.isFullSystemScanRunning())
                loop.quit();
        });
        QTimer redraw;
        QObject::connect(&redraw, &QTimer::timeout, &loop, [&] { bar.draw(); });
        redraw.start(500);
        bar.draw();
        loop.exec();
        running = nullptr;
    }
    bar.clear();
    const QString error = store.fullSystemScanError();
    if (!error.isEmpty())
        return fail(error, error == cancelled ? ExitCode::interrupted : ExitCode::failure);
    const std::vector<FullSystemScanResult> results = store.fullSystemScanResults();
    if (results.empty())
        return fail(store.persistenceError());
    const FullSystemScanResult& result = results.back();
    if (asJson)
        printJson(fullSystemScanResultToJson(result));
    else
        printResult(result);
    if (explain && !asJson) {
        printLine();
        // The local model's explanation, or what the AI component says about why there is none.
        if (result.aiExplanation) {
            printLine(L10n::localizedFragment(*result.aiExplanation));
        } else if (const FullSystemScanComponentResult* ai =
                       result.component(FullSystemScanComponentKind::aiAnalysis)) {
            printLine(L10n::localizedFragment(ai->simpleExplanation));
            printLine(L10n::localizedFragment(ai->technicalEvidence));
        }
    }
    if (!store.persistenceError().isEmpty())
        return fail(store.persistenceError());
    return ExitCode::success;
}

} // namespace kestrum::cli
