#include "TestSupport.h"

#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <stdexcept>

namespace kestrum::test {

QString fixture(const QString& name) {
    return QStringLiteral(KESTRUM_FIXTURES_DIR "/") + name;
}

std::unique_ptr<QTemporaryDir> copyFixture(const QString& name) {
    auto dir = std::make_unique<QTemporaryDir>();
    const int rc = QProcess::execute(
        QStringLiteral("cp"), {QStringLiteral("-a"), fixture(name) + QStringLiteral("/."), dir->path()});
    if (rc != 0)
        throw std::runtime_error("cannot copy fixture");
    return dir;
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file");
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void expectGolden(const QString& text, const QString& name) {
    const QString path = fixture(name);
    if (qEnvironmentVariableIsSet("KESTRUM_WRITE_GOLDENS")) {
        writeFile(path, text.toUtf8());
        return;
    }
    EXPECT_EQ(text, QString::fromUtf8(readFile(path))) << name.toStdString();
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

ScopedLanguage::ScopedLanguage(bool english) {
    // What a machine that is not a Mac shows, as the tests' environment does.
    L10n::setEngine(std::make_shared<const L10nEngine>(english, bundledDisplayTable(english, false)));
}

ScopedLanguage::~ScopedLanguage() {
    L10n::setEngine(nullptr);
}

} // namespace kestrum::test
