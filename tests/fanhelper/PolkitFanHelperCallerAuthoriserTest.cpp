#include "PolkitFanHelperCallerAuthoriser.h"

#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::writeFile;

TEST(PolkitFanHelperCallerAuthoriser, AsksPolkitOnlyForAnInstalledKestrumProgram) {
    QTemporaryDir proc;
    const auto process = [&](int pid, const QString& program) {
        const QString directory = proc.path() + QStringLiteral("/%1").arg(pid);
        writeFile(
            directory + "/stat",
            QByteArray::number(pid) +
                " (kestrum (x) y) S 1 100 100 0 -1 4194560 300 0 0 0 12 3 0 0 20 0 4 0 987654 1000 200\n");
        QFile::link(program, directory + "/exe");
    };
    process(100, "/usr/bin/kestrum");
    process(101, "/usr/bin/python3");
    process(102, "/usr/bin/kestrum-cli");

    std::vector<QStringList> asked;
    int answer = 0;
    PolkitFanHelperCallerAuthoriser authoriser(proc.path(), {"/usr/bin/kestrum", "/usr/bin/kestrum-cli"},
                                               [&](const QStringList& arguments) {
                                                   asked.push_back(arguments);
                                                   return answer;
                                               });
    struct Case {
        const char* name;
        FanHelperPeer peer;
        int pkcheck;
        bool allowed;
        bool asksPolkit;
    };
    const Case cases[] = {
        {"granted", {1, 100, 1000}, 0, true, true},
        {"not granted", {2, 100, 1000}, 1, false, true},
        {"challenge", {3, 102, 1000}, 2, false, true},
        {"pkcheck missing", {4, 102, 1000}, -1, false, true},
        {"another program", {5, 101, 1000}, 0, false, false},
        {"vanished process", {6, 555, 1000}, 0, false, false},
        {"root", {7, 101, 0}, 1, true, false},
    };
    for (const Case& c : cases) {
        asked.clear();
        answer = c.pkcheck;
        EXPECT_EQ(authoriser.mayStartBoost(c.peer), c.allowed) << c.name;
        ASSERT_EQ(asked.size(), c.asksPolkit ? 1u : 0u) << c.name;
        if (c.asksPolkit) {
            const QStringList expected = {"--action-id", "app.kestrum.Kestrum.fan-boost", "--process",
                                          QStringLiteral("%1,987654,1000").arg(c.peer.pid)};
            EXPECT_EQ(asked.front(), expected) << c.name;
        }
    }
}

TEST(PolkitFanHelperCallerAuthoriser, StartTimeIsField22EvenWithParenthesesInTheName) {
    EXPECT_EQ(PolkitFanHelperCallerAuthoriser::processStartTime(
                  "7 (a) b) S 1 7 7 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 4242 0 0\n"),
              4242u);
    EXPECT_FALSE(PolkitFanHelperCallerAuthoriser::processStartTime("7 (short) S 1 7"));
    EXPECT_FALSE(PolkitFanHelperCallerAuthoriser::processStartTime("garbage"));
}
