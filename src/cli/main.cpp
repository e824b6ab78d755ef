// kestrum-cli: Kestrum for terminals and scripts.

#include "CliSupport.h"
#include "Commands.h"
#include "FirmwareMachineVendorReader.h"
#include "foundation/KestrumError.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QCoreApplication>
#include <functional>
#include <vector>

using namespace kestrum;
using namespace kestrum::cli;

namespace {

// One line of a command's help: the option as written and what it does. Placeholders are Turkish words
// ("KLASÖR"), so each synopsis is a text of its own for the English table.
struct OptionHelp {
    const char* synopsis;
    const char* meaning;
};

struct Command {
    const char* name;
    const char* usage; // after "kestrum-cli "
    const char* summary;
    std::vector<OptionHelp> options;
    std::function<int(Arguments&)> run;
};

const OptionHelp kJsonOption{"--json", TR_MARK("Sonucu JSON olarak yazdırır (betikler için)")};
const OptionHelp kRangeOption{"--range hour|day|week|month", TR_MARK("Gösterilecek dönem")};

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"snapshot",
         TR_MARK("snapshot [--json] [--interval SN]"),
         TR_MARK("Makinenin tek, eksiksiz bir ölçümü"),
         {kJsonOption,
          {TR_MARK("--interval SN"),
           TR_MARK("İki ölçüm arasındaki bekleme; işlemci kullanımı ve trafik hızları bundan çıkar (0,1–60, "
                   "varsayılan 1)")}},
         runSnapshot},
        {"health",
         TR_MARK("health [--snapshot DOSYA] [--interval SN] [--json]"),
         TR_MARK("Sağlık kararı ve etkin bulgular"),
         {{TR_MARK("--snapshot DOSYA"), TR_MARK("Makine yerine snapshot --json ile kaydedilmiş bir ölçümü "
                                                "değerlendirir")},
          {TR_MARK("--interval SN"), TR_MARK("İki ölçüm arasındaki bekleme (0,1–60, varsayılan 1)")},
          kJsonOption},
         runHealth},
        {"summary",
         TR_MARK("summary [--interval SN] [--json]"),
         TR_MARK("İlk sağlık özeti: genel durum, güven, kontrol edilen alanlar, bulgular ve sonraki adım"),
         {{TR_MARK("--interval SN"), TR_MARK("İki ölçüm arasındaki bekleme (0,1–60, varsayılan 1)")},
          kJsonOption},
         runSummary},
        {"diagnose",
         TR_MARK("diagnose [--symptom METİN] [--json] [--model-url ADRES] [--model-api openai|ollama] "
                 "[--model AD]"),
         TR_MARK(
             "Donanım asistanı: doğrulanmış bulgular, özetleri ve yerel dil modeliyle belirti kategorisi"),
         {{TR_MARK("--symptom METİN"), TR_MARK("Yaşanan sorun; yerel model yalnızca kategorisini seçer")},
          {TR_MARK("--model-url ADRES"),
           TR_MARK(
               "Bu bilgisayardaki dil modeli sunucusu (örneğin http://127.0.0.1:8080); başka bir makineye "
               "giden adres reddedilir")},
          {TR_MARK("--model-api openai|ollama"),
           TR_MARK("Sunucunun arayüzü (varsayılan: 11434 bağlantı noktasında "
                   "ollama, diğerlerinde openai)")},
          {TR_MARK("--model AD"), TR_MARK("Sunucudaki model adı (Ollama için; yoksa ilk model)")},
          {TR_MARK("--set-model-url ADRES|none"),
           TR_MARK("Sunucu adresini tercihlere kaydeder (none: kaldırır)")},
          kJsonOption},
         runDiagnose},
        {"baseline",
         "baseline [--json]",
         TR_MARK("Geçmişten öğrenilen kişisel normal"),
         {kJsonOption},
         runBaseline},
        {"monitor",
         TR_MARK(
             "monitor [--json] [--interval SN] [--count N] [--duration SN] [--metrics-listen [ADRES:]PORT]"),
         TR_MARK("Sürekli izleme: örnekler, kalıcı geçmiş, uyarılar ve bildirimler (Ctrl-C ile durur)"),
         {{"--json", TR_MARK("Her örnek için bir JSON nesnesi yazdırır")},
          {TR_MARK("--interval SN"),
           TR_MARK("Örnekleme aralığı, 1–30 (varsayılan kayıtlı ayar); kayıtlı ayarı değiştirmez")},
          {"--count N", TR_MARK("N örnekten sonra durur")},
          {TR_MARK("--duration SN"), TR_MARK("Bu kadar saniye sonra durur")},
          {TR_MARK("--metrics-listen [ADRES:]PORT"),
           TR_MARK("Prometheus için /metrics sayfasını sunar; yalnız PORT verilirse 127.0.0.1 üzerinde")}},
         runMonitor},
        {"events",
         "events [--json] [--range hour|day|week|month]",
         TR_MARK("Kaydedilmiş sağlık olayları (varsayılan: son ay)"),
         {kJsonOption, kRangeOption},
         runEvents},
        {"history",
         "history [--json] [--range hour|day|week|month] [--chart cpu|memory|battery|network]",
         TR_MARK("Kalıcı geçmişteki örnekler (varsayılan: son gün)"),
         {kJsonOption,
          kRangeOption,
          {"--chart cpu|memory|battery|network",
           TR_MARK("Bir ölçümü terminal genişliğinde grafik olarak çizer; kayıt boşlukları boş sütundur")}},
         runHistory},
        {"timeline",
         "timeline [--json]",
         TR_MARK("Son 7 günün sağlık zaman çizelgesi: uyarılar, olay işaretleri, oturumlar ve testler"),
         {kJsonOption},
         runTimeline},
        {"incident",
         TR_MARK("incident start [--] NOT | incident stop [NOT] | incident list [--json]"),
         TR_MARK("Bir zaman aralığını işaretler"),
         {{"--", TR_MARK("Ardından gelen her şey nottur (- ile başlayan notlar için)")}, kJsonOption},
         runIncident},
        {"notifications",
         "notifications on|off",
         TR_MARK("Önemli sağlık uyarıları için masaüstü bildirimleri"),
         {},
         runNotifications},
        {"storage",
         TR_MARK("storage [KLASÖR] [--json] [--treemap]"),
         TR_MARK("Bir klasörün alanının nereye gittiği: alt öğeler ve içerik kategorileri (KLASÖR verilmezse "
                 "son seçilen)"),
         {kJsonOption, {"--treemap", TR_MARK("Ağaç haritasının dikdörtgenlerini de yazdırır")}},
         runStorage},
        {"test",
         "test quick|deep [--json] [--allow-low-battery]",
         TR_MARK("Hızlı (yaklaşık 20 sn) veya derin (yaklaşık 8 dk) sağlık testi; sonuç geçmişe kaydedilir "
                 "(Ctrl-C "
                 "iptal eder)"),
         {kJsonOption,
          {"--allow-low-battery", TR_MARK("Derin testi %20'nin altındaki bataryayla da başlatır")}},
         runTest},
        {"benchmark",
         "benchmark [--mode quick|standard] [--json]",
         TR_MARK("İşlemcinin tek ve çok çekirdekli sıkıştırma hızı, önceki karşılaştırılabilir sonuca göre"),
         {kJsonOption, {"--mode quick|standard", TR_MARK("Ölçüm sayısı ve süresi (varsayılan standard)")}},
         runBenchmark},
        {"results",
         "results [--kind quick|deep|benchmark] [--json]",
         TR_MARK("Kaydedilmiş test sonuçları"),
         {kJsonOption, {"--kind quick|deep|benchmark", TR_MARK("Yalnız bu türün sonuçları")}},
         runResults},
        {"net",
         TR_MARK(
             "net quality|speed [--json] [--mode quick|comprehensive] [--yes] [--endpoint URL] [--ca-file "
             "DOSYA]"),
         TR_MARK("Ağ testleri: gecikme ve kararlılık (quality) veya internet hızı (speed, açık onayla)"),
         {kJsonOption,
          {"--mode quick|comprehensive", TR_MARK("Hız testinin kapsamı (varsayılan quick)")},
          {"--yes", TR_MARK("Hız testinin veri kullanımını önceden onaylar")},
          {"--endpoint URL",
           TR_MARK("Test adresi (HTTPS); hız testinde indirme ve yükleme için taban adres")},
          {TR_MARK("--ca-file DOSYA"), TR_MARK("Kendi sunucunuzun sertifikası için ek CA dosyası")}},
         runNet},
        {"wifi",
         "wifi [--json]",
         TR_MARK("Wi-Fi bağlantısı ve bağlantı ayrıntıları"),
         {kJsonOption},
         runWiFi},
        {"culprits",
         "culprits [--json] [--enable|--disable|--clear]",
         TR_MARK("Ön plandaki uygulamalarla sistem baskısının korelasyonu ve uygulamaların ölçülen kullanımı "
                 "(açık "
                 "onayla; çalışan izlemeden)"),
         {kJsonOption,
          {"--enable",
           TR_MARK("Açık onay verir: ön plandaki uygulama her ölçümde sistem yüküyle eşleştirilir")},
          {"--disable", TR_MARK("Onayı geri alır ve bu oturumun bütün gözlemlerini siler")},
          {"--clear", TR_MARK("Yalnızca bu oturumdaki uygulama korelasyonlarını temizler")}},
         runCulprits},
        {"session",
         TR_MARK("session start AD | session stop | session list [--json] | session compare A B [--json]"),
         TR_MARK("Performans oturumları: izleme sürerken adlandırılmış bir zaman aralığının toplamları"),
         {kJsonOption,
          {"A, B", TR_MARK("Oturumun listedeki numarası, kimliğinin başı (en az 4 karakter) veya adı")}},
         runSession},
        {"compare-cpu",
         TR_MARK("compare-cpu [--action EYLEM] [--after SN] [--no-save] [--json]"),
         TR_MARK("Rehberli işlemci yükü karşılaştırması: başlangıç, senin değişikliğin, sonrası ve sonuç"),
         {{TR_MARK("--action EYLEM"),
           TR_MARK("Kaydedilecek eylem: unspecified (varsayılan), observedOnly veya pausedKnownTask")},
          {TR_MARK("--after SN"),
           TR_MARK("Enter yerine başlangıçtan bu kadar saniye sonra sonraki ölçüme geçer (0–240)")},
          {"--no-save", TR_MARK("Sonucu geçmişe kaydetmez")},
          kJsonOption},
         runCompareCpu},
        {"export",
         TR_MARK("export prometheus --textfile KLASÖR"),
         TR_MARK("Ölçüm sayfasını node_exporter'ın metin dosyası toplayıcısı için yazar"),
         {{TR_MARK("--textfile KLASÖR"), TR_MARK("kestrum.prom dosyasının yazılacağı klasör")}},
         runExport},
        {"analytics",
         "analytics on|off|status|queue [--json]",
         TR_MARK("Kullanım analizi: açık onay (on/off), durum ve gönderilmeyi bekleyen olaylar (queue)"),
         {{"--json", TR_MARK("Durumu veya kuyruğu JSON olarak yazdırır; queue, gönderilecek olayları aynen "
                             "gösterir")}},
         runAnalytics},
        {"hardware",
         "hardware [--json]",
         TR_MARK(
             "Bu bilgisayarın donanım profili, model kataloğundaki servis parçaları ve donanım önerileri"),
         {kJsonOption},
         runHardware},
        {"sensors",
         "sensors [--json]",
         TR_MARK("Doğrulanmış sensör kanalları, değerleri ve onları kabul eden kayıtlar; sunulmayan aygıtlar "
                 "nedenleriyle"),
         {kJsonOption},
         runSensors},
        {"fan",
         "fan status|boost|stop [--profile balanced|maximumSafe] [--minutes N] [--json]",
         TR_MARK("Fan yardımcı servisinin durumu; süreli Fan Boost (yalnız güvenlik kaydı olan donanımda) ve "
                 "otomatik yönetime dönüş"),
         {{"--profile balanced|maximumSafe", TR_MARK("Fan Boost profili (varsayılan balanced)")},
          {"--minutes N", TR_MARK("Fan Boost süresi, 1–15 dakika (varsayılan 5)")},
          {"--json", TR_MARK("fan status sonucunu JSON olarak yazdırır")}},
         runFan},
        {"report",
         TR_MARK("report diagnostic|weekly [-o DOSYA] [--interval SN]"),
         TR_MARK(
             "Paylaşılabilir Markdown raporu: anlık tanı raporu (diagnostic) veya geçmişten haftalık sağlık "
             "raporu (weekly); kimlik bilgisi içermez"),
         {{TR_MARK("-o DOSYA"),
           TR_MARK("Raporu ekrana yazmak yerine bu dosyaya güvenle (tamamını birden) yazar")},
          {TR_MARK("--interval SN"),
           TR_MARK("Tanı raporunun iki ölçümü arasındaki bekleme (0,1–60, varsayılan 1)")}},
         runReport},
        {"scan",
         TR_MARK(
             "scan [--include-network] [--include-speed --yes] [--explain] [--json] | scan report [KİMLİK] "
             "[-o DOSYA] | scan history [--json]"),
         TR_MARK("Tam Tarama (yaklaşık 9 dakika): donanım, anlık durum, hızlı ve derin sağlık testi, isteğe "
                 "bağlı "
                 "ağ testleri; bileşen sonuçları, ağırlıklı puan ve bulgular. Son 12 tarama saklanır"),
         {{"--include-network", TR_MARK("Ağ kalite testini taramaya katar")},
          {"--include-speed --yes", TR_MARK("İnternet hız testini de katar (veri kullanımını onaylayarak)")},
          {"--explain", TR_MARK("Cihaz içi açıklamayı da yazdırır (varsa)")},
          {"--allow-low-battery", TR_MARK("%20'nin altındaki bataryayla da başlatır")},
          {TR_MARK("-o DOSYA"),
           TR_MARK("Raporu ekrana yazmak yerine bu dosyaya güvenle (tamamını birden) yazar")},
          kJsonOption},
         runScan},
        {"diagnostics-code",
         TR_MARK("diagnostics-code KOD [--json]"),
         TR_MARK("Bir Apple Diagnostics başvuru kodunun anlamı"),
         {kJsonOption},
         runDiagnosticsCode},
        {"menubar",
         TR_MARK(
             "menubar [--json] [--primary ÖLÇÜM] [--show SATIR] [--hide SATIR] [--show-all] [--hide-all]"),
         TR_MARK("Menü çubuğu öğesinin şu an göstereceği etiket, simge ve satırlar"),
         {kJsonOption,
          {TR_MARK("--primary ÖLÇÜM"),
           TR_MARK("Birincil ölçümü seçer: cpu, memory, battery, network, thermal veya health")},
          {TR_MARK("--show SATIR, --hide SATIR"),
           TR_MARK("Bir satırı gösterir veya gizler (ölçüm adlarıyla)")},
          {"--show-all, --hide-all", TR_MARK("Bütün satırları gösterir veya gizler")},
          {TR_MARK("--interval SN"), TR_MARK("İki ölçüm arasındaki bekleme (0,1–60, varsayılan 1)")}},
         runMenubar},
    };
    return list;
}

// Every text of the help is a Turkish key (or a bare option name, shown as it is).
QString shown(const char* text) {
    return L10n::string(QString::fromUtf8(text));
}

void printDataDirectoryNote() {
    printLine(L10n::string(trText("Her komut --data-dir KLASÖR ile başka bir geçmiş klasörünü kullanabilir "
                                  "(KESTRUM_DATA_DIR da olur).")));
}

void printUsage() {
    printLine(L10n::string(trText("Kullanım: kestrum-cli KOMUT [SEÇENEKLER]")));
    printLine();
    printLine(L10n::string(trText("Komutlar:")));
    for (const Command& command : commands())
        printLine(QStringLiteral("  %1\n      %2").arg(shown(command.usage), shown(command.summary)));
    printLine();
    printLine(L10n::string(trText("Bir komutun ayrıntıları için: kestrum-cli KOMUT --help")));
    printDataDirectoryNote();
}

void printCommandHelp(const Command& command) {
    printLine(L10n::string(trTemplate("Kullanım: kestrum-cli \\(usage)", {shown(command.usage)})));
    printLine();
    printLine(shown(command.summary));
    if (!command.options.empty()) {
        printLine();
        printLine(L10n::string(trText("Seçenekler:")));
        for (const OptionHelp& option : command.options)
            printLine(QStringLiteral("  %1\n      %2").arg(shown(option.synopsis), shown(option.meaning)));
    }
    printLine();
    printDataDirectoryNote();
}

const Command* findCommand(const QString& name) {
    for (const Command& command : commands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrum.app"));
    // Texts that call the machine "Mac" stay so only on a Mac.
    L10n::setMachineIsMac(FirmwareMachineVendorReader().isMac());

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h") {
        printUsage();
        return arguments.isEmpty() ? ExitCode::usageError : ExitCode::success;
    }
    const QString name = arguments.takeFirst();
    if (name == u"help") {
        if (arguments.isEmpty()) {
            printUsage();
            return ExitCode::success;
        }
        if (const Command* command = findCommand(arguments.first())) {
            printCommandHelp(*command);
            return ExitCode::success;
        }
        return fail(trTemplate("Bilinmeyen komut: \\(command)", {arguments.first()}), ExitCode::usageError);
    }
    const Command* command = findCommand(name);
    if (!command) {
        printUsage();
        return fail(trTemplate("Bilinmeyen komut: \\(command)", {name}), ExitCode::usageError);
    }
    try {
        Arguments parsed(arguments);
        if (parsed.asksForHelp()) {
            printCommandHelp(*command);
            return ExitCode::success;
        }
        if (const auto dataDirectory = parsed.takeOption(QStringLiteral("--data-dir")))
            KestrumPaths::setDataDirectoryOverride(*dataDirectory);
        return command->run(parsed);
    } catch (const UsageError& error) {
        return fail(error.message, ExitCode::usageError);
    } catch (const KestrumError& error) {
        return fail(error.description());
    } catch (const CancellationError&) {
        return ExitCode::interrupted;
    }
}
