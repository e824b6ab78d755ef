#include "foundation/ProcessLock.h"

#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;

TEST(ProcessLock, TheHolderIsRecordedAndNamedToTheNextComer) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/monitor.lock");
    ProcessLock first(path);
    ASSERT_TRUE(first.tryLock());
    EXPECT_EQ(first.state(), ProcessLock::State::held);
    EXPECT_TRUE(first.failureDescription().isEmpty());

    ProcessLock second(path);
    EXPECT_FALSE(second.tryLock());
    EXPECT_EQ(second.state(), ProcessLock::State::busy);
    ASSERT_TRUE(second.holder());
    EXPECT_EQ(second.holder()->pid, ::getpid());
    EXPECT_TRUE(second.failureDescription().contains(QStringLiteral("(PID %1)").arg(::getpid())))
        << second.failureDescription().toStdString();

    // A command is kept on its line, whatever characters it has.
    EXPECT_EQ(ProcessLock::parseHolderRecord(ProcessLock::holderRecord(99, QStringLiteral("a\nb\tc"))),
              (ProcessLock::Holder{99, QStringLiteral("a b c")}));

    // A record whose writer is gone names nobody.
    test::writeFile(path, "2147483646\nkestrum-cli monitor\n");
    EXPECT_FALSE(second.tryLock());
    EXPECT_FALSE(second.holder());
    EXPECT_EQ(second.failureDescription(),
              QStringLiteral("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor."));
}

TEST(ProcessLock, ALockFileThatCannotBeCreatedSaysWhereAndWhy) {
    QTemporaryDir dir;
    test::writeFile(dir.path() + QStringLiteral("/file"), "not a folder");
    struct Case {
        QString path;
        const char* reason;
        bool needsAnOrdinaryUser;
    } cases[] = {
        {dir.path() + QStringLiteral("/file/monitor.lock"), "yolun bir parçası klasör değil", false},
        {dir.path() + QStringLiteral("/file/deeper/monitor.lock"), "yolun bir parçası klasör değil", false},
        {dir.path() + QStringLiteral("/read-only/kestrum/monitor.lock"), "izin yok", true},
    };
    QDir().mkpath(dir.path() + QStringLiteral("/read-only"));
    ::chmod(QFile::encodeName(dir.path() + QStringLiteral("/read-only")).constData(), 0555);
    for (const auto& c : cases) {
        if (c.needsAnOrdinaryUser && ::geteuid() == 0)
            continue; // permissions do not stop root
        ProcessLock lock(c.path);
        EXPECT_FALSE(lock.tryLock(std::chrono::milliseconds(2000)));
        EXPECT_EQ(lock.state(), ProcessLock::State::unavailable) << c.path.toStdString();
        EXPECT_EQ(lock.failureDescription(), QStringLiteral("Kilit dosyası oluşturulamadı: %1 (%2).")
                                                 .arg(c.path, QString::fromUtf8(c.reason)));
    }
    ::chmod(QFile::encodeName(dir.path() + QStringLiteral("/read-only")).constData(), 0755);
}

TEST(ProcessLock, APatientAttemptWaitsForAShortHolder) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/monitor.lock");
    auto holder = std::make_unique<ProcessLock>(path);
    ASSERT_TRUE(holder->tryLock());
    ProcessLock impatient(path);
    EXPECT_FALSE(impatient.tryLock(std::chrono::milliseconds(0)));
    std::thread release([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        holder.reset();
    });
    ProcessLock patient(path);
    EXPECT_TRUE(patient.tryLock(std::chrono::seconds(10)));
    release.join();
    EXPECT_TRUE(test::readFile(path).startsWith(QByteArray::number(::getpid()) + '\n'));
}
