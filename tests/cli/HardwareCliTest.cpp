// kestrum-cli hardware and diagnostics-code end to end: exit codes, JSON and the user's language.

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun run(const QStringList& arguments, bool english = false) {
    QTemporaryDir data;
    QTemporaryDir config;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
    env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
    env.insert(QStringLiteral("LANGUAGE"), english ? QStringLiteral("en_US") : QStringLiteral("tr_TR"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(HardwareCli, DiagnosticsCode) {
    const CliRun turkish = run({QStringLiteral("diagnostics-code"), QStringLiteral("ppt-007")});
    ASSERT_EQ(turkish.exitCode, 0) << turkish.err.toStdString();
    EXPECT_TRUE(
        turkish.out.startsWith(QStringLiteral("PPT007 · Kritik\nBataryanın değiştirilmesi gerekiyor\n")))
        << turkish.out.toStdString();

    const CliRun english =
        run({QStringLiteral("diagnostics-code"), QStringLiteral("VDH"), QStringLiteral("002")}, true);
    ASSERT_EQ(english.exitCode, 0);
    EXPECT_TRUE(english.out.contains(QStringLiteral("The storage device should be checked")))
        << english.out.toStdString();
    EXPECT_TRUE(english.out.startsWith(QStringLiteral("VDH002 ")));

    const CliRun json =
        run({QStringLiteral("diagnostics-code"), QStringLiteral("--json"), QStringLiteral("xyz")});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonObject result = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(result.value(QStringLiteral("code")).toString(), QStringLiteral("XYZ"));
    EXPECT_EQ(result.value(QStringLiteral("level")).toString(), QStringLiteral("unavailable"));
    EXPECT_EQ(result.value(QStringLiteral("title")).toString(),
              QStringLiteral("Kod yerel rehberde bulunamadı"));

    for (const QStringList& bad :
         {QStringList{QStringLiteral("diagnostics-code")},
          QStringList{QStringLiteral("diagnostics-code"), QStringLiteral("--- ...")}}) {
        const CliRun refused = run(bad);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.out.isEmpty());
        EXPECT_FALSE(refused.err.isEmpty());
    }
}

TEST(HardwareCli, HardwareOnThisMachine) {
    const CliRun json = run({QStringLiteral("hardware"), QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject document = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonObject profile = document.value(QStringLiteral("profile")).toObject();
    EXPECT_FALSE(profile.value(QStringLiteral("modelIdentifier")).toString().isEmpty());
    EXPECT_TRUE(document.value(QStringLiteral("recommendations")).isArray());
    // Every machine has a processor and memory the kernel reports.
    QStringList kinds;
    for (const QJsonValue& component : profile.value(QStringLiteral("components")).toArray())
        kinds << component.toObject().value(QStringLiteral("kind")).toString();
    EXPECT_TRUE(kinds.contains(QStringLiteral("processor"))) << kinds.join(u',').toStdString();
    EXPECT_TRUE(kinds.contains(QStringLiteral("memory")));
    // The disk is named, or the reason it cannot be is given; never neither.
    EXPECT_TRUE(kinds.contains(QStringLiteral("storage")) ||
                profile.contains(QStringLiteral("storageUnavailableReason")));

    const CliRun text = run({QStringLiteral("hardware")}, true);
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("Hardware · "))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nComponents\n")));
    EXPECT_EQ(run({QStringLiteral("hardware"), QStringLiteral("extra")}).exitCode, 2);
}
