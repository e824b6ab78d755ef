#include "L10n.h"

#include "L10nEngine.h"
#include "foundation/Logging.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <mutex>
#include <vector>

// Q_INIT_RESOURCE may not be used inside a namespace.
static void initialiseLocalisationResources() {
    Q_INIT_RESOURCE(kestrum_l10n);
}

namespace kestrum {

namespace {

std::mutex& engineMutex() {
    static std::mutex mutex;
    return mutex;
}

struct EngineSlot {
    std::shared_ptr<const L10nEngine> engine;
    bool fromEnvironment = false;
    bool machineIsMac = false;
};

EngineSlot& engineSlot() {
    static EngineSlot slot;
    return slot;
}

// "en_GB.UTF-8@euro" → "en".
QString languageOf(const QString& locale) {
    QString language = locale.trimmed();
    for (const QChar separator : {u'_', u'-', u'.', u'@'}) {
        const qsizetype at = language.indexOf(separator);
        if (at >= 0)
            language.truncate(at);
    }
    return language.toLower();
}

// Every table file whose name matches one of `patterns`, merged in name order.
TranslationTable loadBundledTables(const QStringList& patterns, const char* what) {
    initialiseLocalisationResources();
    TranslationTable merged;
    const QDir folder(QStringLiteral(":/kestrum/l10n"));
    for (const QString& name : folder.entryList(patterns, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcLocalisation) << what << name << "unreadable";
            continue;
        }
        const auto parsed = parseTranslationPropertyList(file.readAll());
        if (!parsed) {
            qCWarning(lcLocalisation) << what << name << "malformed; its texts are shown as written";
            continue;
        }
        for (auto it = parsed->cbegin(); it != parsed->cend(); ++it)
            merged.insert(it.key(), it.value());
    }
    return merged;
}

} // namespace

bool preferredLanguageIsEnglish() {
    for (const QString& entry : qEnvironmentVariable("LANGUAGE").split(u':', Qt::SkipEmptyParts)) {
        const QString language = languageOf(entry);
        if (language == u"en")
            return true;
        if (language == u"tr")
            return false;
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable).trimmed();
        if (!value.isEmpty())
            return languageOf(value) == u"en";
    }
    return false;
}

std::optional<TranslationTable> parseTranslationPropertyList(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    TranslationTable table;
    bool inDict = false;
    QString pendingKey;
    bool hasKey = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == u"dict") {
                inDict = true;
            } else if (inDict && name == u"key") {
                pendingKey = reader.readElementText();
                hasKey = true;
            } else if (inDict && name == u"string") {
                const QString value = reader.readElementText();
                if (hasKey)
                    table.insert(pendingKey, value);
                hasKey = false;
            }
        }
    }
    if (reader.hasError() || !inDict)
        return std::nullopt;
    return table;
}

std::shared_ptr<const TranslationTable> bundledEnglishTable() {
    static const std::shared_ptr<const TranslationTable> table = [] {
        // One table per subsystem (en.plist, en-network.plist, ...), merged into one.
        TranslationTable merged =
            loadBundledTables({QStringLiteral("en.plist"), QStringLiteral("en-*.plist")}, "English table");
        if (merged.isEmpty())
            qCWarning(lcLocalisation) << "English table missing; texts stay Turkish";
        return std::make_shared<const TranslationTable>(std::move(merged));
    }();
    return table;
}

std::shared_ptr<const TranslationTable> bundledOverlay(bool english, OverlayScope scope) {
    static std::mutex mutex;
    static std::shared_ptr<const TranslationTable> loaded[2][2];
    std::lock_guard lock(mutex);
    auto& slot = loaded[english ? 1 : 0][scope == OverlayScope::linux ? 0 : 1];
    if (!slot) {
        // overlay-<language>-<scope>.plist, and one overlay-<language>-<scope>-<subsystem>.plist per
        // subsystem.
        const QString name =
            QStringLiteral("overlay-%1-%2")
                .arg(english ? QStringLiteral("en") : QStringLiteral("tr"),
                     scope == OverlayScope::linux ? QStringLiteral("linux") : QStringLiteral("nonmac"));
        slot = std::make_shared<const TranslationTable>(loadBundledTables(
            {name + QStringLiteral(".plist"), name + QStringLiteral("-*.plist")}, "overlay"));
    }
    return slot;
}

std::shared_ptr<const TranslationTable> bundledDisplayTable(bool english, bool machineIsMac) {
    auto table = std::make_shared<TranslationTable>(english ? *bundledEnglishTable() : TranslationTable{});
    std::vector<OverlayScope> scopes{OverlayScope::linux};
    if (!machineIsMac)
        scopes.push_back(OverlayScope::nonMac);
    for (const OverlayScope scope : scopes) {
        const auto overlay = bundledOverlay(english, scope);
        for (auto it = overlay->cbegin(); it != overlay->cend(); ++it)
            table->insert(it.key(), it.value());
    }
    return table;
}

namespace L10n {

namespace {

// References handed out earlier stay valid: replaced engines are kept for the life of the process.
void retire(EngineSlot& slot) {
    static std::vector<std::shared_ptr<const L10nEngine>> retired;
    if (slot.engine)
        retired.push_back(std::move(slot.engine));
    slot.engine.reset();
}

} // namespace

const L10nEngine& engine() {
    std::lock_guard lock(engineMutex());
    auto& slot = engineSlot();
    if (!slot.engine) {
        const bool english = preferredLanguageIsEnglish();
        slot.engine =
            std::make_shared<const L10nEngine>(english, bundledDisplayTable(english, slot.machineIsMac));
        slot.fromEnvironment = true;
    }
    return *slot.engine;
}

void setEngine(std::shared_ptr<const L10nEngine> engine) {
    std::lock_guard lock(engineMutex());
    auto& slot = engineSlot();
    retire(slot);
    slot.engine = std::move(engine);
    slot.fromEnvironment = false;
}

void setMachineIsMac(bool isMac) {
    std::lock_guard lock(engineMutex());
    auto& slot = engineSlot();
    if (slot.machineIsMac == isMac)
        return;
    slot.machineIsMac = isMac;
    if (slot.fromEnvironment)
        retire(slot);
}

bool machineIsMac() {
    std::lock_guard lock(engineMutex());
    return engineSlot().machineIsMac;
}

bool isEnglish() {
    return engine().isEnglish();
}
QString string(const QString& key) {
    return engine().string(key);
}
QString localizedFragment(const QString& text) {
    return engine().localizedFragment(text);
}
QString localizeSentences(const QString& text) {
    return engine().localizeSentences(text);
}
QString report(const QString& text) {
    return engine().report(text);
}
QString date(Date date, DateStyle dateStyle, TimeStyle timeStyle) {
    return engine().date(date, dateStyle, timeStyle);
}

} // namespace L10n

} // namespace kestrum
