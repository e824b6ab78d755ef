#include "TestSupport.h"
#include "storage/FileSystemStorageMapScanner.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;

namespace {

// Writes `size` bytes so that the file really occupies blocks.
void makeFile(const QString& path, qsizetype size = 4096) {
    test::writeFile(path, QByteArray(size, 'x'));
}

uint64_t allocated(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return static_cast<uint64_t>(st.st_blocks) * 512;
}

StorageScanResult scan(const QString& root, int64_t limit = 500'000, int threads = 4) {
    return FileSystemStorageMapScanner(limit, threads, [] { return Date{42}; }).scan(root, std::stop_token{});
}

const StorageCategorySummary* category(const StorageScanResult& r, StorageCategory c) {
    for (const auto& s : r.categories)
        if (s.category == c)
            return &s;
    return nullptr;
}

const StorageMapItem* item(const StorageScanResult& r, const QString& name) {
    for (const auto& i : r.items)
        if (i.name == name)
            return &i;
    return nullptr;
}

} // namespace

TEST(FileSystemStorageMapScanner, ClassifiesByBundleExtensionAndContentType) {
    QTemporaryDir dir;
    const QString r = dir.path();
    struct Case {
        const char* path;
        StorageCategory category;
    } cases[] = {
        {"apps/Tool.app/Contents/MacOS/tool", StorageCategory::applications},
        {"code/Proj.xcodeproj/project.pbxproj", StorageCategory::developer},
        {"notes/notes.md", StorageCategory::developer},
        {"docs/report.pdf", StorageCategory::documents},
        {"docs/letter.docx", StorageCategory::documents},
        {"docs/Makefile", StorageCategory::documents},
        {"media/photo.JPG", StorageCategory::images},
        {"media/movie.mp4", StorageCategory::video},
        {"media/song.mp3", StorageCategory::audio},
        {"backups/old.tar.gz", StorageCategory::archives},
        {"misc/blob.unknownext", StorageCategory::other},
        {"misc/0123456789abcdef0123456789abcdef01234567", StorageCategory::other},
        {"run/App.AppImage", StorageCategory::applications},
    };
    for (const auto& c : cases)
        makeFile(r + u'/' + QLatin1String(c.path));
    const StorageScanResult result = scan(r);
    EXPECT_EQ(result.fileCount, static_cast<int64_t>(std::size(cases)));
    for (const auto& c : cases) {
        // Each file sits alone in its category except for the shared ones; check by counting.
        int64_t expected = 0;
        for (const auto& other : cases)
            expected += other.category == c.category ? 1 : 0;
        ASSERT_NE(category(result, c.category), nullptr) << c.path;
        EXPECT_EQ(category(result, c.category)->fileCount, expected) << c.path;
    }
    EXPECT_EQ(result.rootName, QDir(r).dirName());
    EXPECT_EQ(result.scannedAt, Date{42});
}

TEST(FileSystemStorageMapScanner, LinksSpecialFilesAndOrdering) {
    QTemporaryDir dir;
    const QString r = dir.path();
    makeFile(r + QStringLiteral("/big/data.bin"), 1 << 20);
    QDir().mkpath(r + QStringLiteral("/links"));
    QFile::link(r + QStringLiteral("/big/data.bin"), r + QStringLiteral("/links/to-big"));
    QFile::link(r, r + QStringLiteral("/links/loop")); // a loop back to the root: never followed
    ::link(QFile::encodeName(r + QStringLiteral("/big/data.bin")).constData(),
           QFile::encodeName(r + QStringLiteral("/hard/copy.bin")).constData()); // fails: folder missing
    QDir().mkpath(r + QStringLiteral("/hard"));
    ASSERT_EQ(::link(QFile::encodeName(r + QStringLiteral("/big/data.bin")).constData(),
                     QFile::encodeName(r + QStringLiteral("/hard/copy.bin")).constData()),
              0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(r + QStringLiteral("/links/pipe")).constData(), 0600), 0);
    makeFile(r + QStringLiteral("/file10/a"), 8192);
    makeFile(r + QStringLiteral("/file2/a"), 8192);
    makeFile(r + QStringLiteral("/top.txt"), 100);

    const StorageScanResult result = scan(r);
    const uint64_t bigSize = allocated(r + QStringLiteral("/big/data.bin"));
    EXPECT_EQ(item(result, QStringLiteral("links")), nullptr) << "links and pipes add nothing";
    ASSERT_NE(item(result, QStringLiteral("hard")), nullptr);
    EXPECT_EQ(item(result, QStringLiteral("hard"))->allocatedBytes, bigSize)
        << "a hard link adds its own size";
    ASSERT_NE(item(result, QStringLiteral("top.txt")), nullptr) << "a file in the root is its own item";
    EXPECT_EQ(item(result, QStringLiteral("top.txt"))->fileCount, 1);
    std::vector<QString> names;
    for (const auto& i : result.items)
        names.push_back(i.name);
    const auto position = [&](const char* n) {
        return std::find(names.begin(), names.end(), QLatin1String(n)) - names.begin();
    };
    EXPECT_LT(position("file2"), position("file10")) << "equal sizes in natural order";
    EXPECT_EQ(result.items.front().allocatedBytes, bigSize);
    EXPECT_EQ(result.fileCount, 5);
    EXPECT_EQ(result.inaccessibleItemCount, 0);
}

TEST(FileSystemStorageMapScanner, EmptyFoldersOddNamesDeepTreesAndBadRoots) {
    QTemporaryDir empty;
    const StorageScanResult nothing = scan(empty.path());
    EXPECT_EQ(nothing.fileCount, 0);
    EXPECT_EQ(nothing.allocatedBytes, 0u);
    EXPECT_TRUE(nothing.items.empty());
    EXPECT_TRUE(nothing.categories.empty());
    EXPECT_FALSE(nothing.wasTruncated);

    QTemporaryDir dir;
    const QByteArray odd = QFile::encodeName(dir.path()) + "/caf\xe9-\xff.txt"; // not UTF-8
    const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "data", 4), 4);
    ::close(fd);
    QString deep = dir.path() + QStringLiteral("/deep");
    for (int i = 0; i < 120; ++i)
        deep += QStringLiteral("/level%1").arg(i);
    makeFile(deep + QStringLiteral("/bottom.bin"));
    const StorageScanResult result = scan(dir.path());
    EXPECT_EQ(result.fileCount, 2);
    EXPECT_EQ(result.items.size(), 2u);

    try {
        scan(dir.path() + QStringLiteral("/deep/level0/../../nonexistent"));
        ADD_FAILURE();
    } catch (const KestrumError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Seçilen klasör okunamadı veya izin artık geçerli değil."));
    }
    try {
        scan(deep + QStringLiteral("/bottom.bin"));
        ADD_FAILURE();
    } catch (const KestrumError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Seçilen konum bir klasör değil."));
    }
}

TEST(FileSystemStorageMapScanner, TheFileLimitCountsTheShallowestFilesWhateverTheThreads) {
    QTemporaryDir dir;
    const QString r = dir.path();
    for (const char* name : {"r1.txt", "r2.txt", "r3.txt"})
        makeFile(r + u'/' + QLatin1String(name), 4096);
    for (int i = 0; i < 5; ++i) {
        makeFile(r + QStringLiteral("/a/a%1.bin").arg(i), 4096);
        makeFile(r + QStringLiteral("/b/b%1.bin").arg(i), 8192);
        makeFile(r + QStringLiteral("/a/deeper/d%1.bin").arg(i), 4096);
    }
    // 3 in the root, then level one: all of a/ (5), then b/'s first 2 by name.
    const StorageScanResult first = scan(r, 10, 1);
    EXPECT_TRUE(first.wasTruncated);
    EXPECT_EQ(first.fileCount, 10);
    ASSERT_NE(item(first, QStringLiteral("a")), nullptr);
    EXPECT_EQ(item(first, QStringLiteral("a"))->fileCount, 5) << "the deeper level is not reached";
    EXPECT_EQ(item(first, QStringLiteral("b"))->fileCount, 2);
    for (int threads : {2, 4, 8}) {
        for (int repeat = 0; repeat < 3; ++repeat)
            EXPECT_EQ(scan(r, 10, threads), first) << threads << " threads";
    }
    const StorageScanResult exact = scan(r, 18, 4);
    EXPECT_FALSE(exact.wasTruncated) << "reaching the limit exactly is not a truncation";
    EXPECT_EQ(exact.fileCount, 18);
    const StorageScanResult inRoot = scan(r, 2, 4);
    EXPECT_EQ(inRoot.fileCount, 2);
    EXPECT_NE(item(inRoot, QStringLiteral("r1.txt")), nullptr);
    EXPECT_EQ(item(inRoot, QStringLiteral("r3.txt")), nullptr);
}

TEST(FileSystemStorageMapScanner, CancellationEndsTheScanWithoutAResult) {
    QTemporaryDir dir;
    makeFile(dir.path() + QStringLiteral("/a/file"));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(FileSystemStorageMapScanner().scan(dir.path(), stop.get_token()), CancellationError);
}

TEST(FileSystemStorageMapScanner, UnreadableFoldersAreCountedNotFatal) {
    QTemporaryDir dir;
    const QString r = dir.path();
    makeFile(r + QStringLiteral("/open/ok.txt"));
    makeFile(r + QStringLiteral("/locked/secret.txt"));
    ::chmod(QFile::encodeName(r + QStringLiteral("/locked")).constData(), 0);
    if (::geteuid() != 0) {
        const StorageScanResult result = scan(r);
        EXPECT_EQ(result.inaccessibleItemCount, 1);
        EXPECT_EQ(result.fileCount, 1);
    } else {
        // Root reads everything; scan as an unprivileged user in a child process instead.
        ::chmod(QFile::encodeName(r).constData(), 0755);
        ::chmod(QFile::encodeName(r + QStringLiteral("/open")).constData(), 0755);
        ::chmod(QFile::encodeName(r + QStringLiteral("/open/ok.txt")).constData(), 0644);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            int64_t numbers[2] = {-1, -1};
            try {
                const StorageScanResult result =
                    FileSystemStorageMapScanner(500'000, 1).scan(r, std::stop_token{});
                numbers[0] = result.fileCount;
                numbers[1] = result.inaccessibleItemCount;
            } catch (...) {
            }
            [[maybe_unused]] const auto written = ::write(pipeFds[1], numbers, sizeof numbers);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        int64_t numbers[2] = {-2, -2};
        const auto got = ::read(pipeFds[0], numbers, sizeof numbers);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_EQ(got, static_cast<ssize_t>(sizeof numbers));
        EXPECT_EQ(numbers[0], 1) << "the readable file";
        EXPECT_EQ(numbers[1], 1) << "the locked folder";
    }
    ::chmod(QFile::encodeName(r + QStringLiteral("/locked")).constData(), 0700);
}

TEST(FileSystemStorageMapScanner, TheLiveCounterEndsAtTheFilesFoundAndStartsOverEachScan) {
    QTemporaryDir dir;
    const QString r = dir.path();
    for (int i = 0; i < 4; ++i) {
        makeFile(r + QStringLiteral("/f%1").arg(i));
        makeFile(r + QStringLiteral("/a/f%1").arg(i));
        makeFile(r + QStringLiteral("/a/b/f%1").arg(i));
    }
    FileSystemStorageMapScanner scanner(500'000, 4, [] { return Date{42}; });
    EXPECT_EQ(scanner.filesCountedSoFar(), std::optional<int64_t>(0)) << "nothing before a scan";
    const StorageScanResult whole = scanner.scan(r, std::stop_token{});
    EXPECT_EQ(whole.fileCount, 12);
    EXPECT_EQ(scanner.filesCountedSoFar(), std::optional<int64_t>(12));
    // A second scan counts from zero, not on top of the first.
    scanner.scan(r + QStringLiteral("/a"), std::stop_token{});
    EXPECT_EQ(scanner.filesCountedSoFar(), std::optional<int64_t>(8));
}
