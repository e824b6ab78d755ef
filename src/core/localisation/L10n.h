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

// The engine every call above uses; built on first use from the environment, the bundled tables and
// the machine kind below.
const L10nEngine& engine();
// Tests and the screenshot tool choose the language themselves; nullptr goes back to the environment.
void setEngine(std::shared_ptr<const L10nEngine> engine);

// Whether this machine is a Mac (Apple silicon or Intel). The texts call the machine "Mac"; elsewhere they
// say "this computer" instead. Until a front end says otherwise the machine is not a Mac, which keeps
// every text true on any machine. An engine built from the environment is rebuilt for the new kind.
void setMachineIsMac(bool isMac);
bool machineIsMac();

} // namespace L10n

// The interface language from the environment, as gettext chooses: the entries of LANGUAGE in order,
// the first that is Turkish or English wins; without one, the first set of LC_ALL, LC_MESSAGES, LANG.
// Anything that is not English is Turkish.
bool preferredLanguageIsEnglish();

// A table of shown texts: Turkish key → the text to show, read from an XML property list.
using TranslationTable = QHash<QString, QString>;
// Absent when the text is not a property list of string pairs.
std::optional<TranslationTable> parseTranslationPropertyList(const QByteArray& xml);
// The English table compiled into the binary: en.plist and en-*.plist, merged.
std::shared_ptr<const TranslationTable> bundledEnglishTable();

// The texts of the code are written for macOS on a Mac. Two overlays per language replace, at display
// time, what would be untrue here: "linux" on every machine (texts naming macOS or its services), and
// "nonmac" where the machine is not a Mac (texts calling the machine "Mac"). An overlay entry whose
// value equals its key is a decision that the text is true as written.
enum class OverlayScope { linux, nonMac };
// overlay-<tr|en>-<linux|nonmac>.plist, compiled into the binary.
std::shared_ptr<const TranslationTable> bundledOverlay(bool english, OverlayScope scope);
// What the engine shows: the English table (English only), then the overlays that apply, later ones
// winning.
std::shared_ptr<const TranslationTable> bundledDisplayTable(bool english, bool machineIsMac);

} // namespace kestrum
