// kestrum-cli analytics on | off | status | queue

#include "CliSupport.h"
#include "Commands.h"
#include "analytics/ProductAnalyticsDeliveryQueue.h"
#include "analytics/ProductAnalyticsRuntime.h"
#include "foundation/JsonCodec.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "localisation/L10n.h"

#include <QFile>
#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

QJsonObject statusJson(const ProductAnalyticsRuntime& runtime, size_t queued) {
    const ProductAnalyticsConsentSnapshot consent = runtime.consent();
    const ProductAnalyticsAppMetadata metadata = ProductAnalyticsAppMetadata::current();
    QJsonObject object{
        {QStringLiteral("available"), runtime.isAvailable()},
        {QStringLiteral("consent"), consent.allowsRemoteAnalytics},
        {QStringLiteral("privacyContractVersion"), runtime.privacyContractVersion()},
        {QStringLiteral("queuedEventCount"), qint64(queued)},
        {QStringLiteral("appVersion"), metadata.appVersion},
        {QStringLiteral("appBuild"), metadata.appBuild},
        {QStringLiteral("distribution"), rawValue(metadata.distribution)},
        {QStringLiteral("language"), rawValue(metadata.language)},
    };
    if (!runtime.endpoint().configuredText.isEmpty())
        object.insert(QStringLiteral("configuredEndpoint"), runtime.endpoint().configuredText);
    if (runtime.endpoint().endpoint)
        object.insert(QStringLiteral("endpoint"), runtime.endpoint().endpoint->toString());
    if (consent.anonymousInstallationID)
        object.insert(QStringLiteral("anonymousInstallationID"), uuidText(*consent.anonymousInstallationID));
    return object;
}

// Why nothing is recorded, when that is so.
QString unavailableText(const ProductAnalyticsRuntime& runtime) {
    if (runtime.endpoint().configuredText.isEmpty())
        return trText("Bu kurulumda analiz toplama adresi yapılandırılmamış: onay sorulmaz ve hiçbir olay "
                      "kaydedilmez.");
    return trTemplate(
        "Yapılandırılan analiz toplama adresi kabul edilmedi (yalnız HTTPS; kullanıcı adı, parola, "
        "sorgu veya parça olmadan; izin verilen alan adında): \\(address). Hiçbir olay kaydedilmez.",
        {runtime.endpoint().configuredText});
}

void printStatus(const ProductAnalyticsRuntime& runtime, size_t queued) {
    if (!runtime.isAvailable()) {
        printLine(L10n::string(unavailableText(runtime)));
        return;
    }
    const ProductAnalyticsConsentSnapshot consent = runtime.consent();
    printLine(
        L10n::string(trTemplate("Toplama adresi: \\(address)", {runtime.endpoint().endpoint->toString()})));
    if (consent.allowsRemoteAnalytics)
        printLine(L10n::string(trTemplate("Onay: verildi (gizlilik sözleşmesi sürümü \\(version))",
                                          {QString::number(runtime.privacyContractVersion())})));
    else if (runtime.shouldAskForConsent())
        printLine(tr("Onay: henüz sorulmadı; onay verilmeden hiçbir olay kaydedilmez."));
    else
        printLine(tr("Onay: verilmedi; hiçbir olay kaydedilmez."));
    if (consent.anonymousInstallationID)
        printLine(L10n::string(
            trTemplate("Anonim kurulum kimliği: \\(id)", {uuidText(*consent.anonymousInstallationID)})));
    printLine(L10n::string(trTemplate("Gönderilmeyi bekleyen olay: \\(count)", {QString::number(queued)})));
    printLine(tr(
        "Olaylar yalnız kategoriler taşır: hiçbir ölçüm, ad, dosya yolu veya makine kimliği gönderilmez."));
}

void printQueue(const std::vector<ProductAnalyticsQueuedEvent>& entries, bool consented) {
    if (entries.empty()) {
        printLine(tr("Gönderilmeyi bekleyen olay yok."));
        return;
    }
    for (const ProductAnalyticsQueuedEvent& entry : entries) {
        QStringList properties;
        for (const auto& [key, value] : entry.envelope.properties)
            properties.append(key + u'=' + value);
        printLine(QStringLiteral("%1  %2  %3")
                      .arg(dateTimeText(Date::fromUnixSeconds(double(entry.envelope.occurredAtEpochSeconds))),
                           rawValue(entry.envelope.name), properties.join(QStringLiteral(", "))));
        printLine(QStringLiteral("    ") +
                  L10n::string(
                      trTemplate("\\(count) başarısız deneme · sonraki deneme \\(time)",
                                 {QString::number(entry.attemptCount), dateTimeText(entry.nextAttemptAt)})));
    }
    if (!consented)
        printLine(tr("Onay olmadığı için bu olaylar gönderilmez; uygulama açıldığında silinir."));
}

} // namespace

int runAnalytics(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const QStringList words = arguments.positionals();
    static const QStringList actions{QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("status"),
                                     QStringLiteral("queue")};
    if (words.size() != 1 || !actions.contains(words.first()))
        throw UsageError{trText("analytics için on, off, status veya queue gerekiyor.")};
    const QString action = words.first();

    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    ProductAnalyticsRuntime::Configuration configuration =
        ProductAnalyticsRuntime::standardConfiguration(preferences, KestrumPaths::preferencesFile());
    // A settings command only queues: the running application (or monitor) sends.
    configuration.deliversEvents = false;
    ProductAnalyticsRuntime runtime(std::move(configuration));
    const auto queued = [&runtime] {
        return ProductAnalyticsDeliveryQueue::peek(runtime.queueFile(), Date::now());
    };

    if (action == u"on") {
        if (!runtime.isAvailable())
            return fail(unavailableText(runtime));
        if (!runtime.consent().allowsRemoteAnalytics) {
            runtime.optIn(ProductAnalyticsConsentSource::settings);
            runtime.settle();
        }
        if (!asJson)
            printLine(tr(
                "Analiz açık: yalnız kategorik kullanım olayları gönderilir; ölçümler, adlar, dosya yolları "
                "ve makine kimlikleri asla."));
    } else if (action == u"off") {
        runtime.optOut(ProductAnalyticsConsentSource::settings);
        runtime.settle();
        // A queue left by an earlier configuration goes as well.
        if (!runtime.pipeline() && QFile::exists(runtime.queueFile()) && !QFile::remove(runtime.queueFile()))
            return fail(trTemplate("Analiz kuyruğu silinemedi: \\(path)", {runtime.queueFile()}));
        if (!asJson)
            printLine(tr("Analiz kapalı; gönderilmeyi bekleyen olaylar silindi."));
    } else if (action == u"queue") {
        const std::vector<ProductAnalyticsQueuedEvent> entries = queued();
        if (asJson)
            printJson(json::parseDocument(
                ProductAnalyticsQueueFile{ProductAnalyticsQueueFile::kSchemaVersion, entries}.encoded()));
        else
            printQueue(entries, runtime.consent().allowsRemoteAnalytics);
        return ExitCode::success;
    }
    const size_t count = queued().size();
    if (asJson)
        printJson(statusJson(runtime, count));
    else if (action == u"status")
        printStatus(runtime, count);
    return ExitCode::success;
}

} // namespace kestrum::cli
