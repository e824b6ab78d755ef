#pragma once

#include "foundation/Date.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

namespace kestrum {

class L10nEngine;

// The localisation layer. Every user-facing text is Turkish and is its own key; with an English
// preferred language the same text is shown in English, numbers and units in English notation.
namespace L10n {

enum class DateStyle { none, numeric, abbreviated, full };
enum class TimeStyle { none, shortened, standard };

bool isEnglish();
QString string(const QString& key);
QString localizedFragment(const QString& text);
QString localizeSentences(const QString& text);
QString report(const QString& text);
QString date(Date date, DateStyle dateStyle, TimeStyle timeStyle);

// The engine every call above uses; built on first use from the environment and the bundled table.
const L10nEngine& engine();
// Tests and the screenshot tool choose the language themselves.
void setEngine(std::shared_ptr<const L10nEngine> engine);

} // namespace L10n

// Whether the preferred language is English: the first entry of LANGUAGE, else the first set of
// LC_ALL, LC_MESSAGES, LANG, starts with "en".
bool preferredLanguageIsEnglish();

// The English table: Turkish key → English value, read from an XML property list.
using TranslationTable = QHash<QString, QString>;
// Absent when the text is not a property list of string pairs.
std::optional<TranslationTable> parseTranslationPropertyList(const QByteArray& xml);
// The table compiled into the binary.
std::shared_ptr<const TranslationTable> bundledEnglishTable();

} // namespace kestrum
