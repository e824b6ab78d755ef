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

std::shared_ptr<const L10nEngine>& engineSlot() {
    static std::shared_ptr<const L10nEngine> engine;
    return engine;
}

QString firstEntry(const QString& list) {
    return list.section(u':', 0, 0).trimmed();
}

} // namespace

bool preferredLanguageIsEnglish() {
    QString preferred = firstEntry(qEnvironmentVariable("LANGUAGE"));
    if (preferred.isEmpty()) {
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            preferred = qEnvironmentVariable(variable).trimmed();
            if (!preferred.isEmpty())
                break;
        }
    }
    return preferred.startsWith(QStringLiteral("en"));
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
        initialiseLocalisationResources();
        // One table per subsystem (en.plist, en-network.plist, ...), merged into one.
        TranslationTable merged;
        const QDir folder(QStringLiteral(":/kestrum/l10n"));
        const QStringList files = folder.entryList({QStringLiteral("en.plist"), QStringLiteral("en-*.plist")},
                                                   QDir::Files, QDir::Name);
        for (const QString& name : files) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                qCWarning(lcLocalisation) << "English table" << name << "unreadable";
                continue;
            }
            const auto parsed = parseTranslationPropertyList(file.readAll());
            if (!parsed) {
                qCWarning(lcLocalisation) << "English table" << name << "malformed; its texts stay Turkish";
                continue;
            }
            for (auto it = parsed->cbegin(); it != parsed->cend(); ++it)
                merged.insert(it.key(), it.value());
        }
        if (merged.isEmpty())
            qCWarning(lcLocalisation) << "English table missing; texts stay Turkish";
        return std::make_shared<const TranslationTable>(std::move(merged));
    }();
    return table;
}

namespace L10n {

const L10nEngine& engine() {
    std::lock_guard lock(engineMutex());
    auto& slot = engineSlot();
    if (!slot) {
        const bool english = preferredLanguageIsEnglish();
        slot = std::make_shared<const L10nEngine>(english, english ? bundledEnglishTable() : nullptr);
    }
    return *slot;
}

void setEngine(std::shared_ptr<const L10nEngine> engine) {
    std::lock_guard lock(engineMutex());
    // References handed out earlier stay valid: replaced engines are kept for the life of the process.
    static std::vector<std::shared_ptr<const L10nEngine>> retired;
    if (engineSlot())
        retired.push_back(engineSlot());
    engineSlot() = std::move(engine);
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
