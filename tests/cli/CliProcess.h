#pragma once

// The built kestrum-cli run as a user would run it, over a test's own data and configuration folders,
// with no session bus and in the chosen language.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace kestrum::test {

struct CliRun {
    int exitCode = -1; // -1: it did not finish in time
    QString out;
    QString err;
};

inline CliRun runCli(const QString& dataFolder, const QString& configFolder, const QStringList& arguments,
                     bool english = false) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTRUM_DATA_DIR"), dataFolder);
    env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), configFolder);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=/nonexistent/kestrum-test-bus"));
    env.insert(QStringLiteral("LANGUAGE"), english ? QStringLiteral("en_US") : QStringLiteral("tr_TR"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

} // namespace kestrum::test
