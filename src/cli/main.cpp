// kestrum-cli: Kestrum for terminals and scripts.

#include "CliSupport.h"
#include "Commands.h"
#include "foundation/KestrumError.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QCoreApplication>
#include <functional>
#include <map>

using namespace kestrum;
using namespace kestrum::cli;

namespace {

void printUsage() {
    printLine(L10n::string(trText("Kullanım: kestrum-cli KOMUT [SEÇENEKLER]")));
    printLine();
    printLine(L10n::string(trText("Komutlar:")));
    const std::pair<const char*, QString> commands[] = {
        {"snapshot [--json] [--interval SN]", L10n::string(trText("Makinenin tek, eksiksiz bir ölçümü"))},
        {"health [--snapshot DOSYA] [--json]", L10n::string(trText("Sağlık kararı ve etkin bulgular"))},
        {"baseline [--json]", L10n::string(trText("Geçmişten öğrenilen kişisel normal"))},
        {"monitor [--json] [--interval SN] [--count N] [--duration SN]",
         L10n::string(
             trText("Sürekli izleme: örnekler, kalıcı geçmiş, uyarılar ve bildirimler (Ctrl-C ile durur)"))},
        {"events [--json] [--range hour|day|week|month]",
         L10n::string(trText("Kaydedilmiş sağlık olayları"))},
        {"history [--json] [--range hour|day|week|month]",
         L10n::string(trText("Kalıcı geçmişteki örnekler"))},
        {"incident start NOT | incident stop | incident list",
         L10n::string(trText("Bir zaman aralığını işaretler"))},
        {"notifications on|off", L10n::string(trText("Önemli sağlık uyarıları için masaüstü bildirimleri"))},
        {"storage [KLASÖR] [--json] [--treemap]",
         L10n::string(trText("Bir klasörün alanının nereye gittiği: alt öğeler ve içerik kategorileri "
                             "(KLASÖR verilmezse son seçilen)"))},
        {"hardware [--json]",
         L10n::string(
             trText("Bu bilgisayarın donanım profili, model kataloğundaki servis parçaları ve donanım "
                    "önerileri"))},
        {"diagnostics-code KOD [--json]",
         L10n::string(trText("Bir Apple Diagnostics başvuru kodunun anlamı"))},
        {"menubar [--json] [--primary ÖLÇÜM] [--show SATIR] [--hide SATIR] [--show-all] [--hide-all]",
         L10n::string(trText("Menü çubuğu öğesinin şu an göstereceği etiket, simge ve satırlar"))},
    };
    for (const auto& [usage, text] : commands)
        printLine(QStringLiteral("  %1\n      %2").arg(QLatin1String(usage), text));
    printLine();
    printLine(L10n::string(trText("Her komut --data-dir KLASÖR ile başka bir geçmiş klasörünü kullanabilir "
                                  "(KESTRUM_DATA_DIR da olur).")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrum.app"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h" ||
        arguments.first() == u"help") {
        printUsage();
        return arguments.isEmpty() ? ExitCode::usageError : ExitCode::success;
    }
    const QString command = arguments.takeFirst();
    const std::map<QString, std::function<int(Arguments&)>> commands = {
        {QStringLiteral("snapshot"), runSnapshot},
        {QStringLiteral("health"), runHealth},
        {QStringLiteral("baseline"), runBaseline},
        {QStringLiteral("menubar"), runMenubar},
        {QStringLiteral("monitor"), runMonitor},
        {QStringLiteral("events"), runEvents},
        {QStringLiteral("history"), runHistory},
        {QStringLiteral("incident"), runIncident},
        {QStringLiteral("notifications"), runNotifications},
        {QStringLiteral("storage"), runStorage},
        {QStringLiteral("hardware"), runHardware},
        {QStringLiteral("diagnostics-code"), runDiagnosticsCode},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        printUsage();
        return fail(trTemplate("Bilinmeyen komut: \\(command)", {command}), ExitCode::usageError);
    }
    try {
        Arguments parsed(arguments);
        if (const auto dataDirectory = parsed.takeOption(QStringLiteral("--data-dir")))
            KestrumPaths::setDataDirectoryOverride(*dataDirectory);
        return it->second(parsed);
    } catch (const UsageError& error) {
        return fail(error.message, ExitCode::usageError);
    } catch (const KestrumError& error) {
        return fail(error.description());
    } catch (const CancellationError&) {
        return ExitCode::interrupted;
    }
}
