#pragma once

#include <QString>

namespace kestrum {

// File-manager order: runs of digits compare by their value ("file2" before "file10"), other text
// case-insensitively; full ties fall back to code-unit order so that the order is total.
int naturalCompare(const QString& a, const QString& b);

} // namespace kestrum
