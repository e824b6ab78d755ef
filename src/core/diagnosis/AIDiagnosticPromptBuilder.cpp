#include "AIDiagnosticPromptBuilder.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/SnapshotPresentation.h"

#include <QLocale>
#include <QStringList>

namespace kestrum::AIDiagnosticPromptBuilder {

namespace {

const QString kLabels =
    QStringLiteral("GENERAL, PROCESSOR, GRAPHICS, MEMORY, STORAGE, BATTERY, THERMAL, NETWORK.");

// Texts of the findings and labels are Turkish keys; an English prompt shows their English form.
struct Words {
    bool english;
    QLocale locale;

    QString text(const QString& turkish) const {
        return english ? L10n::localizedFragment(turkish) : turkish;
    }
    QString missing() const { return english ? QStringLiteral("not provided") : QStringLiteral("sunulmadı"); }
    QString name(const std::optional<QString>& value) const { return value ? text(*value) : missing(); }
    QString gigabytes(const std::optional<double>& value) const {
        return value ? locale.toString(*value, 'f', 1) + QStringLiteral(" GB") : missing();
    }
    QString percent(const std::optional<double>& fraction) const {
        if (!fraction)
            return missing();
        const QString number = locale.toString(*fraction * 100, 'f', 0);
        return english ? number + QStringLiteral("%") : QStringLiteral("%") + number;
    }
    QString celsius(const std::optional<double>& value) const {
        return value ? locale.toString(*value, 'f', 1) + QStringLiteral(" °C") : missing();
    }
};

QString joined(const std::vector<QString>& items, const Words& words, const QString& separator) {
    QStringList list;
    for (const QString& item : items)
        list << words.text(item);
    return list.join(separator);
}

QString symptomPrompt(const QString& symptom, bool english) {
    if (english)
        return QStringLiteral("USER SYMPTOM\n") + symptom +
               QStringLiteral("\n\nChoose only the semantic category of the symptom.\n"
                              "Fan, heat, temperature and overheating are THERMAL;\n"
                              "charging, cell and battery are BATTERY;\n"
                              "memory pressure during freezes is MEMORY;\n"
                              "disk space and file access are STORAGE;\n"
                              "screen and display are GRAPHICS;\n"
                              "processor load is PROCESSOR;\n"
                              "Wi-Fi and connection are NETWORK;\n"
                              "if none of these, the label is GENERAL.\n\n"
                              "Return only the single label:\n") +
               kLabels;
    return QStringLiteral("KULLANICI BELİRTİSİ\n") + symptom +
           QStringLiteral("\n\nYalnızca belirtinin anlamsal kategorisini seç.\n"
                          "Fan, ısı, sıcaklık ve aşırı ısınma THERMAL;\n"
                          "şarj, pil ve batarya BATTERY;\n"
                          "donma sırasında bellek baskısı MEMORY;\n"
                          "disk alanı ve dosya erişimi STORAGE;\n"
                          "ekran ve görüntü GRAPHICS;\n"
                          "işlemci yükü PROCESSOR;\n"
                          "Wi-Fi ve bağlantı NETWORK;\n"
                          "bunların hiçbiri değilse GENERAL etiketidir.\n\n"
                          "Yalnızca tek etiketi döndür:\n") +
           kLabels;
}

QString findingBlock(const DiagnosticFinding& finding, const Words& w) {
    const bool en = w.english;
    return (en ? QStringLiteral("- Title: ") : QStringLiteral("- Başlık: ")) + w.text(finding.title) +
           (en ? QStringLiteral("\n  Category: ") : QStringLiteral("\n  Kategori: ")) +
           w.text(DiagnosticLabels::categoryLabel(finding.category)) +
           (en ? QStringLiteral("\n  Priority: ") : QStringLiteral("\n  Öncelik: ")) +
           w.text(DiagnosticLabels::severityLabel(finding.severity)) +
           (en ? QStringLiteral("\n  Evidence: ") : QStringLiteral("\n  Kanıt: ")) +
           w.text(finding.evidence) +
           (en ? QStringLiteral("\n  Limit of interpretation: ") : QStringLiteral("\n  Yorum sınırı: ")) +
           w.text(finding.interpretation) +
           (en ? QStringLiteral("\n  Recommended safe steps: ")
               : QStringLiteral("\n  Önerilen güvenli adımlar: ")) +
           joined(finding.recommendedActions, w, QStringLiteral(" | ")) +
           (en ? QStringLiteral("\n  Confidence: ") : QStringLiteral("\n  Güven: ")) +
           w.text(DiagnosticLabels::confidenceLabel(finding.confidence));
}

QString devicePrompt(const SanitizedDiagnosticContext& c, const std::vector<DiagnosticFinding>& findings,
                     const Words& w) {
    const bool en = w.english;
    const auto& coverage = c.healthCoverage;
    const auto count = [&](int value) { return w.locale.toString(value); };
    const auto line = [&](const char* turkish, const char* english, const QString& value) {
        return QStringLiteral("\n") + QString::fromUtf8(en ? english : turkish) + value;
    };
    QString out = en ? QStringLiteral("DEVICE CONTEXT\nLive measurement ready: ") +
                           (c.hasLiveMeasurement ? QStringLiteral("yes") : QStringLiteral("no"))
                     : QStringLiteral("CİHAZ BAĞLAMI\nCanlı ölçüm hazır: ") +
                           (c.hasLiveMeasurement ? QStringLiteral("evet") : QStringLiteral("hayır"));
    out += line("Ölçüm kapsamı: ", "Measurement coverage: ",
                count(int(coverage.evaluatedSignals.size())) + QStringLiteral("/") +
                    count(int(coverage.evaluatedSignals.size() + coverage.unavailableSignals.size())));
    out += line("Sonuç güveni: ", "Result confidence: ",
                w.text(DiagnosticLabels::assessmentConfidenceLabel(c.healthConfidence)));
    out += line("Ölçülemeyen sinyaller: ", "Signals not measured: ",
                coverage.unavailableSignals.empty()
                    ? (en ? QStringLiteral("none") : QStringLiteral("yok"))
                    : joined(coverage.unavailableSignals, w, QStringLiteral(", ")));
    out += line("Model: ", "Model: ",
                w.text(c.modelName) + QStringLiteral(" [") + c.modelIdentifier + QStringLiteral("]"));
    out += line("İşlemci: ", "Processor: ", w.name(c.processorName));
    out += line("Grafik: ", "Graphics: ", w.name(c.graphicsName));
    out += line("Bellek: ", "Memory: ", w.gigabytes(c.memoryGigabytes));
    out += line("Anlık bellek kullanımı: ", "Current memory usage: ", w.percent(c.memoryUsageFraction));
    out += line("Takas alanı: ", "Swap: ", w.gigabytes(c.swapGigabytes));
    out += line("Depolama modeli: ", "Storage model: ", w.name(c.storageModel));
    out += line("Depolama kapasitesi: ", "Storage capacity: ", w.gigabytes(c.storageGigabytes));
    out += line("Boş depolama: ", "Free storage: ", w.percent(c.storageFreeFraction));
    out += line("Batarya sağlığı: ", "Battery health: ", w.name(c.batteryHealth));
    out += line("Batarya doluluğu: ", "Battery charge: ", w.percent(c.batteryChargeFraction));
    out += line("Batarya sıcaklığı: ", "Battery temperature: ", w.celsius(c.batteryTemperatureCelsius));
    out += line("Sistem termal durumu: ", "System thermal state: ",
                w.text(SnapshotPresentation::thermalLevelText(c.thermalLevel)));
    out += line("Anlık işlemci kullanımı: ", "Current processor usage: ", w.percent(c.cpuUsageFraction));
    out += line("Son 7 gün örnek sayısı: ", "Samples in the last 7 days: ", count(c.history.sampleCount));
    out += line("Yüksek işlemci örneği: ", "High processor samples: ", count(c.history.highCPUSampleCount));
    out += line("Yüksek bellek örneği: ", "High memory samples: ", count(c.history.highMemorySampleCount));
    out +=
        line("Ciddi termal örnek: ", "Serious thermal samples: ", count(c.history.seriousThermalSampleCount));
    out += line("Kullanıcının belirttiği sorun: ", "Problem stated by the user: ",
                en ? QStringLiteral("not stated") : QStringLiteral("belirtilmedi"));
    out += en ? QStringLiteral("\n\nVERIFIED FINDINGS\n") : QStringLiteral("\n\nDOĞRULANMIŞ BULGULAR\n");
    QStringList blocks;
    for (const DiagnosticFinding& finding : findings)
        blocks << findingBlock(finding, w);
    out += blocks.join(QStringLiteral("\n"));
    out += en ? QStringLiteral("\n\nChoose the single label that best represents the user's symptom and the\n"
                               "leading finding. Return only the label:\n")
              : QStringLiteral("\n\nKullanıcının belirtisini ve öncelikli bulguyu en iyi temsil eden tek\n"
                               "etiketi seç. Yalnızca etiketi döndür:\n");
    return out + kLabels;
}

} // namespace

QString instructions(bool english) {
    if (english)
        return QStringLiteral(
                   "You are Kestrum's on-device symptom classifier.\nDo not diagnose faults or write an "
                   "explanation.\nReturn exactly one of these labels:\n") +
               kLabels +
               QStringLiteral("\nDo not output any other word, punctuation, part number, or sensor value.");
    return QStringLiteral("Sen Kestrum cihaz içi belirti sınıflandırıcısısın.\nArıza teşhisi veya açıklama "
                          "yazma.\nYalnızca şu etiketlerden tam olarak birini döndür:\n") +
           kLabels + QStringLiteral("\nBaşka kelime, noktalama, parça numarası veya sensör değeri yazma.");
}

QString prompt(const SanitizedDiagnosticContext& context, const std::vector<DiagnosticFinding>& findings,
               bool english) {
    if (context.symptom)
        return symptomPrompt(*context.symptom, english);
    QLocale locale =
        english ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QStringLiteral("tr_TR"));
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const Words words{english, locale};
    return devicePrompt(context, findings, words);
}

} // namespace kestrum::AIDiagnosticPromptBuilder
