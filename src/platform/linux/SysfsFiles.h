#pragma once

// Small, allocation-light readers for /proc and /sys attributes. Every failure (missing file, EIO, EPERM,
// unparsable text) is "absent", never 0.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kestrum::sysfs {

// The bytes of an attribute, or the errno value its read failed with (ENXIO for an absent thinkpad
// sensor, ENODATA for a stopped firmware, …).
struct ReadResult {
    std::optional<QByteArray> bytes;
    int error = 0;
};
// A folder where an attribute is expected fails like any unreadable attribute (EISDIR). Recorded trees use
// such a folder for an attribute whose read fails on the real machine, with one empty file inside named
// after the error the kernel gave (`ENXIO`, `ENODATA`, `EIO`, `EPERM`, `EINVAL`, `EAGAIN`, `EOPNOTSUPP`);
// that error is reported instead. Real sysfs never has folders in attribute places.
ReadResult readAttribute(const QString& path, qsizetype maximumBytes = 64 * 1024);
std::optional<QByteArray> readFile(const QString& path, qsizetype maximumBytes = 64 * 1024);
// The file's text with surrounding white space removed.
std::optional<QString> readText(const QString& path);
std::optional<int64_t> readInteger(const QString& path);
// Accepts "0x1003" as well as decimal text.
std::optional<int64_t> readHexOrDecimal(const QString& path);
std::optional<int64_t> parseInteger(QByteArrayView text);
// Entry names in a folder, sorted, without "." and "..". Empty when the folder cannot be read.
QStringList listDirectory(const QString& path);
bool exists(const QString& path);
bool isDirectory(const QString& path);
// The last path component a symbolic link points to ("0000:00:02.0"), absent when it is not a link.
std::optional<QString> linkTargetName(const QString& path);
// Sorts names like card0, card1, card10 by their numeric suffix.
void sortNumerically(QStringList& names);

} // namespace kestrum::sysfs
