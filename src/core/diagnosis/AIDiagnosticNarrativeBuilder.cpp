#include "AIDiagnosticNarrativeBuilder.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QStringList>

namespace kestrum::AIDiagnosticNarrativeBuilder {

namespace {

// Each distinct line once, in the order first seen.
void appendOnce(QStringList& lines, const QString& line) {
    if (!line.trimmed().isEmpty() && !lines.contains(line))
        lines << line;
}

} // namespace

QString narrative(DiagnosticCategory category, const SanitizedDiagnosticContext& context,
                  const std::vector<DiagnosticFinding>& findings, bool english) {
    const auto text = [english](const QString& turkish) {
        return english ? L10n::localizedFragment(turkish) : turkish;
    };
    const QString label = text(DiagnosticLabels::categoryLabel(category));

    QString out;
    if (english)
        out = QStringLiteral("AI symptom classification: ") +
              (context.symptom ? QStringLiteral("The entered symptom was matched with the ") + label +
                                     QStringLiteral(" category.")
                               : QStringLiteral("No user symptom was entered.")) +
              QStringLiteral(" This classification is not a fault diagnosis. ");
    else
        out = QStringLiteral("AI belirti sınıflandırması: ") +
              (context.symptom ? QStringLiteral("Girilen belirti ") + label +
                                     QStringLiteral(" kategorisiyle eşleştirildi.")
                               : QStringLiteral("Kullanıcı belirtisi girilmedi.")) +
              QStringLiteral(" Bu sınıflandırma arıza teşhisi değildir. ");

    QStringList evidence, interpretation, steps;
    for (const DiagnosticFinding& finding : findings) {
        if (finding.category != category)
            continue;
        appendOnce(evidence, QStringLiteral("- ") + text(finding.title) + QStringLiteral(" (") +
                                 text(DiagnosticLabels::severityLabel(finding.severity)) +
                                 QStringLiteral(", ") +
                                 text(DiagnosticLabels::confidenceLabel(finding.confidence)) +
                                 QStringLiteral("): ") + text(finding.evidence));
        appendOnce(interpretation, QStringLiteral("- ") + text(finding.interpretation));
        for (const QString& action : finding.recommendedActions)
            appendOnce(steps, QStringLiteral("- ") + text(action));
    }
    if (evidence.isEmpty()) {
        evidence << (english
                         ? QStringLiteral("There is no verified measurement finding matching this category. "
                                          "Findings in other categories were not counted as evidence for "
                                          "this symptom.")
                         : QStringLiteral("Bu kategoriyle eşleşen doğrulanmış bir ölçüm bulgusu yok. Diğer "
                                          "kategorilerdeki bulgular bu belirti için kanıt sayılmadı."));
        interpretation.clear();
        interpretation << (english
                               ? QStringLiteral("The symptom category was identified, but the current "
                                                "measurements do not verify a cause in this category. The AI "
                                                "classification alone is not evidence of a fault.")
                               : QStringLiteral("Belirti kategorisi belirlendi ancak mevcut ölçümler bu "
                                                "kategoride bir nedeni doğrulamıyor. AI sınıflandırması tek "
                                                "başına arıza kanıtı değildir."));
    }
    if (steps.isEmpty())
        steps << QStringLiteral("- ") +
                     L10n::string(
                         trText("Belirti sürerse izlemeyi açık tut ve Tam Tarama’yı çalıştır; sorun devam "
                                "ederse yetkili servisten destek al."));

    out +=
        (english ? QStringLiteral("\n\nVerified evidence:\n") : QStringLiteral("\n\nDoğrulanmış kanıt:\n")) +
        evidence.join(u'\n');
    out +=
        (english ? QStringLiteral("\n\nLimit of interpretation:\n") : QStringLiteral("\n\nYorum sınırı:\n")) +
        interpretation.join(u'\n');
    out += (english ? QStringLiteral("\n\nEvidence-based next steps:\n")
                    : QStringLiteral("\n\nKanıta dayalı sonraki adımlar:\n")) +
           steps.join(u'\n');
    out +=
        english
            ? QStringLiteral("\n\nKestrum evaluates only the data it can read; the absence of evidence does "
                             "not guarantee that the device is free of faults.")
            : QStringLiteral("\n\nKestrum yalnızca okuyabildiği verileri değerlendirir; kanıt bulunmaması "
                             "cihazın arızasız olduğunu garanti etmez.");
    return out;
}

} // namespace kestrum::AIDiagnosticNarrativeBuilder
