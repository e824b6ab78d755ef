#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace kestrum::test {

// <source>/tests/fixtures/<name>
QString fixture(const QString& name);
// A writable copy of a fixture tree, for tests that change files between readings.
std::unique_ptr<QTemporaryDir> copyFixture(const QString& name);
void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);
// Expects `text` to equal the fixture <name> (a golden document). With KESTRUM_WRITE_GOLDENS=1 the fixture
// is written instead — read it by eye before committing.
void expectGolden(const QString& text, const QString& name);

// Runs the event loop until `done` holds or the time runs out; answers whether it holds.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Makes L10n answer in Turkish or English for the lifetime of the object.
class ScopedLanguage {
public:
    explicit ScopedLanguage(bool english);
    ~ScopedLanguage();
};

} // namespace kestrum::test

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
