#pragma once

#include <QString>

namespace kestrum {

// Longest free texts the user can type, in characters (code points). Every one is stored, so every one
// is bounded: the archive must never outgrow what its loader accepts.
inline constexpr qsizetype kMaximumIncidentNoteCharacters = 500;
inline constexpr qsizetype kMaximumSymptomCharacters = 500;
inline constexpr qsizetype kMaximumSessionNameCharacters = 80;

// A text as the user typed it, made safe to keep: every control character other than tab and line feed
// removed, white space and line breaks trimmed at both ends, then cut to its first `maximumCharacters`
// characters (never inside a surrogate pair).
QString boundedUserText(const QString& text, qsizetype maximumCharacters);

} // namespace kestrum
