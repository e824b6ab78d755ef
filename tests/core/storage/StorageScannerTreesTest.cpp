// The scanner against tree shapes and changes that break naive walks: very deep chains, deep and wide
// side by side, directories swapped for links during the scan, mount points, names that are not text.

#include "TestSupport.h"
#include "storage/FileSystemStorageMapScanner.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;

namespace {

// Large trees go to memory when the machine has a tmpfs for it: creating and removing thousands of
// folders on a disk file system (with discard) takes a minute.
std::unique_ptr<QTemporaryDir> temporaryDir() {
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable()) {
        auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/kestrum-storage-test-XXXXXX"));
        if (dir->isValid())
            return dir;
    }
    return std::make_unique<QTemporaryDir>();
}

StorageScanResult scan(const QString& root, int64_t limit = 500'000, int threads = 4, int openLimit = 0) {
    FileSystemStorageMapScanner scanner(limit, threads, [] { return Date{7}; });
    scanner.setOpenDirectoryLimit(openLimit);
    return scanner.scan(root, std::stop_token{});
}

void writeAt(int dirFd, const char* name, size_t size) {
    const int fd = ::openat(dirFd, name, O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    const std::string data(size, 'k');
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(size));
    ::close(fd);
}

void writeFile(const QString& path, size_t size) {
    QDir().mkpath(QFileInfo(path).path());
    test::writeFile(path, QByteArray(static_cast<qsizetype>(size), 'k'));
}

// A chain `depth` directories deep below base/name, built with descriptors (the path outgrows PATH_MAX).
// Each level holds one file "f"; with `sideBranches` each level also holds a folder "s" with one file.
void makeChain(const QString& base, const char* name, int depth, bool sideBranches) {
    int fd = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const char* component = name;
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fd, component, 0755), 0) << level;
        const int next = ::openat(fd, component, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0) << level;
        fd = next;
        writeAt(fd, "f", 100);
        if (sideBranches) {
            ASSERT_EQ(::mkdirat(fd, "s", 0755), 0);
            const int side = ::openat(fd, "s", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            writeAt(side, "g", 100);
            ::close(side);
        }
        component = "d";
    }
    ::close(fd);
}

// Removes a tree of any depth with one descriptor at a time (QDir cannot: the paths are too long).
void removeTree(const QString& path) {
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    std::vector<std::string> names;
    for (;;) {
        std::string subdirectory;
        DIR* stream = ::fdopendir(::dup(fd));
        while (const dirent* entry = stream ? ::readdir(stream) : nullptr) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
                subdirectory = name;
                break;
            }
            ::unlinkat(fd, name.c_str(), 0);
        }
        if (stream)
            ::closedir(stream);
        if (!subdirectory.empty()) {
            const int child =
                ::openat(fd, subdirectory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0)
                break;
            ::close(fd);
            fd = child;
            names.push_back(subdirectory);
            continue;
        }
        if (names.empty())
            break;
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        ::unlinkat(fd, names.back().c_str(), AT_REMOVEDIR);
        names.pop_back();
    }
    ::close(fd);
    ::rmdir(QFile::encodeName(path).constData());
}

struct TreeGuard {
    QString path;
    ~TreeGuard() { removeTree(path); }
};

// Lowers the descriptor limit of this process to what is open now plus `spare`, for one scope.
class ScopedDescriptorLimit {
public:
    explicit ScopedDescriptorLimit(rlim_t spare) {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlim_t open = 0;
        if (DIR* fds = ::opendir("/proc/self/fd")) {
            while (::readdir(fds))
                ++open;
            ::closedir(fds);
        }
        struct rlimit lowered = m_saved;
        lowered.rlim_cur = open + spare;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~ScopedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    struct rlimit m_saved {};
};

std::map<QString, std::pair<int64_t, uint64_t>> itemsOf(const StorageScanResult& result) {
    std::map<QString, std::pair<int64_t, uint64_t>> items;
    for (const auto& item : result.items)
        items[item.name] = {item.fileCount, item.allocatedBytes};
    return items;
}

// What the file limit keeps, computed another way: every file ordered by the depth of its folder, then
// its folder's path, then its name; the first `limit` are kept.
struct ListedFile {
    int depth;
    std::string folder;
    std::string name;
    QString item;
    uint64_t bytes;
};

std::vector<ListedFile> listFiles(const QString& root) {
    std::vector<ListedFile> files;
    struct Pending {
        std::string relative;
        int depth;
    };
    std::vector<Pending> pending{{"", 0}};
    const std::string base = QFile::encodeName(root).toStdString();
    while (!pending.empty()) {
        const Pending dir = pending.back();
        pending.pop_back();
        const std::string full = dir.relative.empty() ? base : base + '/' + dir.relative;
        DIR* stream = ::opendir(full.c_str());
        if (!stream)
            continue;
        while (const dirent* entry = ::readdir(stream)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            ::lstat((full + '/' + name).c_str(), &st);
            const std::string relative = dir.relative.empty() ? name : dir.relative + '/' + name;
            const QString item = QString::fromStdString(relative.substr(0, relative.find('/')));
            if (S_ISDIR(st.st_mode))
                pending.push_back({relative, dir.depth + 1});
            else if (S_ISREG(st.st_mode))
                files.push_back(
                    {dir.depth, dir.relative, name, item, static_cast<uint64_t>(st.st_blocks) * 512});
        }
        ::closedir(stream);
    }
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        return std::tie(a.depth, a.folder, a.name) < std::tie(b.depth, b.folder, b.name);
    });
    return files;
}

std::map<QString, std::pair<int64_t, uint64_t>> expectedItems(const std::vector<ListedFile>& files,
                                                              int64_t limit) {
    std::map<QString, std::pair<int64_t, uint64_t>> items;
    for (size_t i = 0; i < files.size() && static_cast<int64_t>(i) < limit; ++i) {
        items[files[i].item].first += 1;
        items[files[i].item].second += files[i].bytes;
    }
    return items;
}

} // namespace

TEST(FileSystemStorageMapScannerTrees, AChainTenThousandFoldersDeepIsCountedWhole) {
    const auto temporary = temporaryDir();
    QTemporaryDir& dir = *temporary;
    TreeGuard guard{dir.path() + QStringLiteral("/chain")};
    makeChain(dir.path(), "chain", 10'000, false);
    writeFile(dir.path() + QStringLiteral("/top.txt"), 100);
    for (const int threads : {1, 4}) {
        const StorageScanResult result = scan(dir.path(), 500'000, threads);
        EXPECT_EQ(result.fileCount, 10'001) << threads << " threads";
        EXPECT_FALSE(result.wasTruncated);
        EXPECT_EQ(result.inaccessibleItemCount, 0);
        ASSERT_EQ(result.items.size(), 2u);
        EXPECT_EQ(itemsOf(result)[QStringLiteral("chain")].first, 10'000);
    }
    // The limit falling deep inside the chain: the shallowest files are the ones counted.
    const StorageScanResult cut = scan(dir.path(), 2'500, 4);
    EXPECT_TRUE(cut.wasTruncated);
    EXPECT_EQ(cut.fileCount, 2'500);
    EXPECT_EQ(itemsOf(cut)[QStringLiteral("top.txt")].first, 1);
}

TEST(FileSystemStorageMapScannerTrees, DeepTreesWithBranchesNeedFewDescriptors) {
    // Every level of a 1,500-deep chain leaves a side folder waiting while the walk goes deeper: far
    // more folders wait than the process may open. They are reopened through their parents.
    const auto temporary = temporaryDir();
    QTemporaryDir& dir = *temporary;
    TreeGuard guard{dir.path() + QStringLiteral("/chain")};
    makeChain(dir.path(), "chain", 1'500, true);
    const StorageScanResult unbounded = scan(dir.path(), 500'000, 4, 100'000);
    EXPECT_EQ(unbounded.fileCount, 3'000);
    EXPECT_EQ(unbounded.inaccessibleItemCount, 0);
    for (const int openLimit : {0, 1, 3}) {
        ScopedDescriptorLimit limit(48);
        const StorageScanResult bounded = scan(dir.path(), 500'000, 4, openLimit);
        EXPECT_EQ(bounded.fileCount, 3'000) << "open limit " << openLimit;
        EXPECT_EQ(bounded.inaccessibleItemCount, 0) << "open limit " << openLimit;
        EXPECT_EQ(bounded, unbounded) << "open limit " << openLimit;
    }
}

TEST(FileSystemStorageMapScannerTrees,
     DeepBesideWideGivesOneResultAtAnyThreadCountAndKeepsTheShallowestFiles) {
    const auto temporary = temporaryDir();
    QTemporaryDir& dir = *temporary;
    const QString r = dir.path();
    TreeGuard guard{r + QStringLiteral("/deep")};
    for (int i = 0; i < 5; ++i)
        writeFile(r + QStringLiteral("/root%1.txt").arg(i), 100 + 4096 * size_t(i));
    for (int i = 0; i < 200; ++i)
        writeFile(r + QStringLiteral("/wide/file%1.jpg").arg(i), 100 + 700 * size_t(i % 13));
    for (int d = 0; d < 120; ++d) {
        for (int i = 0; i < 4; ++i)
            writeFile(r + QStringLiteral("/wide/w%1/f%2.mp3").arg(d, 3, 10, QLatin1Char('0')).arg(i),
                      5000 + 4096 * size_t((d + i) % 7));
    }
    makeChain(r, "deep", 300, false);
    makeChain(r + QStringLiteral("/wide"), "w-chain", 40, true); // sorts before the "w0…" folders by bytes
    // One folder large enough to be counted in slices by several threads.
    for (int i = 0; i < 4'500; ++i)
        writeFile(r + QStringLiteral("/wide/w050/many/m%1.png").arg(i), 100 + 4096 * size_t(i % 3));
    const std::vector<ListedFile> files = listFiles(r);
    ASSERT_EQ(files.size(), 5u + 200 + 480 + 300 + 80 + 4'500);

    // Unlimited, then limits falling on the first level, on the second (inside the wide folder), inside
    // the large folder on the third and deep inside the chain.
    for (const int64_t limit :
         {int64_t{500'000}, int64_t{150}, int64_t{600}, int64_t{3'000}, int64_t{5'500}}) {
        const StorageScanResult single = scan(r, limit, 1);
        const auto expected = expectedItems(files, limit);
        EXPECT_EQ(itemsOf(single), expected) << "limit " << limit;
        EXPECT_EQ(single.wasTruncated, limit < static_cast<int64_t>(files.size())) << "limit " << limit;
        EXPECT_EQ(single.fileCount, std::min<int64_t>(limit, static_cast<int64_t>(files.size())));
        for (const int threads : {2, 4}) {
            for (int repeat = 0; repeat < 3; ++repeat)
                EXPECT_EQ(scan(r, limit, threads), single)
                    << "limit " << limit << ", " << threads << " threads";
        }
        EXPECT_EQ(scan(r, limit, 4, 2), single) << "limit " << limit << " with two open folders at most";
    }
}

TEST(FileSystemStorageMapScannerTrees, TheLimitStopsTheWorkOnceItIsDecided) {
    // 6,000 files on the second level and 2,000 below it; 1,000 are kept. Reading every file of the
    // levels down to the one where the limit falls (as a level-by-level walk does) would read 6,000.
    const auto temporary = temporaryDir();
    QTemporaryDir& dir = *temporary;
    const QString r = dir.path();
    for (int d = 0; d < 120; ++d) {
        const QString folder = r + QStringLiteral("/t%1/m%2").arg(d % 6).arg(d, 3, 10, QLatin1Char('0'));
        for (int i = 0; i < 50; ++i)
            writeFile(folder + QStringLiteral("/f%1.txt").arg(i), 10);
        for (int i = 0; i < 16; ++i)
            writeFile(folder + QStringLiteral("/deeper/g%1.txt").arg(i), 10);
    }
    const std::vector<ListedFile> files = listFiles(r);
    for (const int threads : {1, 4}) {
        FileSystemStorageMapScanner scanner(1'000, threads);
        const StorageScanResult result = scanner.scan(r, std::stop_token{});
        EXPECT_TRUE(result.wasTruncated);
        EXPECT_EQ(itemsOf(result), expectedItems(files, 1'000));
        const auto work = scanner.lastWork();
        EXPECT_TRUE(work.limitPassRan);
        EXPECT_LE(work.fileStatusReads, 2'000) << threads << " threads";
        EXPECT_GE(work.fileStatusReads, 1'000);
    }
    // Below the limit there is no second pass and each file is read once.
    FileSystemStorageMapScanner whole(500'000, 4);
    EXPECT_EQ(whole.scan(r, std::stop_token{}).fileCount, static_cast<int64_t>(files.size()));
    EXPECT_FALSE(whole.lastWork().limitPassRan);
    EXPECT_EQ(whole.lastWork().fileStatusReads, static_cast<int64_t>(files.size()));
}

TEST(FileSystemStorageMapScannerTrees, AFolderSwappedForALinkDuringTheScanIsNeverFollowed) {
    QTemporaryDir outside; // video files the scan must never see
    for (int i = 0; i < 20; ++i)
        writeFile(outside.path() + QStringLiteral("/sub/clip%1.mp4").arg(i), 100);
    QTemporaryDir dir;
    const QString inside = dir.path() + QStringLiteral("/inside");
    constexpr int kVictims = 8;
    for (int v = 0; v < kVictims; ++v) {
        for (int i = 0; i < 3; ++i)
            writeFile(inside + QStringLiteral("/v%1/sub/note%2.txt").arg(v).arg(i), 100);
    }
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        const QByteArray target = QFile::encodeName(outside.path());
        while (!stop) {
            for (int v = 0; v < kVictims && !stop; ++v) {
                const QByteArray victim = QFile::encodeName(inside + QStringLiteral("/v%1").arg(v));
                const QByteArray aside = victim + ".real";
                if (::rename(victim.constData(), aside.constData()) != 0)
                    continue;
                ::symlink(target.constData(), victim.constData());
                std::this_thread::yield();
                ::unlink(victim.constData());
                ::rename(aside.constData(), victim.constData());
                ++swaps;
            }
        }
    });
    int scans = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until || scans < 20) {
        const StorageScanResult result = scan(dir.path(), 500'000, 1 + scans % 4);
        ++scans;
        for (const auto& category : result.categories)
            EXPECT_NE(category.category, StorageCategory::video) << "a file outside the folder was counted";
        EXPECT_LE(result.fileCount, 2 * kVictims * 3);
        if (::testing::Test::HasFailure())
            break;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(swaps.load(), 0);
    const StorageScanResult still = scan(dir.path());
    EXPECT_EQ(still.fileCount, kVictims * 3);
}

TEST(FileSystemStorageMapScannerTrees, TheChosenFolderMayBeALinkAndItsNameNeedsNoTrailingSlash) {
    QTemporaryDir dir;
    writeFile(dir.path() + QStringLiteral("/real/photos/a.jpg"), 5000);
    writeFile(dir.path() + QStringLiteral("/real/b.txt"), 100);
    const QString link = dir.path() + QStringLiteral("/shortcut");
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/real"), link));
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/real/photos"),
                            dir.path() + QStringLiteral("/real/photos-link")));
    struct Case {
        QString argument;
        QString rootName;
    } cases[] = {
        {link, QStringLiteral("shortcut")},
        {link + u'/', QStringLiteral("shortcut")},
        {dir.path() + QStringLiteral("/real/"), QStringLiteral("real")},
        {dir.path() + QStringLiteral("/real/photos/..//"), QStringLiteral("real")},
    };
    for (const Case& c : cases) {
        const StorageScanResult result = scan(c.argument);
        EXPECT_EQ(result.fileCount, 2) << c.argument.toStdString() << ": the link below it is not followed";
        EXPECT_EQ(result.rootName, c.rootName) << c.argument.toStdString();
        EXPECT_EQ(result.inaccessibleItemCount, 0);
    }
    EXPECT_EQ(scan(QStringLiteral("/"), 1).rootName, QStringLiteral("/"))
        << "a limit of one file keeps it short";
}

TEST(FileSystemStorageMapScannerTrees, MountPointsAreSkippedAndCounted) {
    QTemporaryDir dir;
    writeFile(dir.path() + QStringLiteral("/plain/a.txt"), 100);
    QDir().mkpath(dir.path() + QStringLiteral("/mounted"));
    // A private mount namespace in a child process, so nothing is left mounted whatever happens.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        int64_t numbers[3] = {-1, -1, -1};
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("kestrum-test", QFile::encodeName(dir.path() + QStringLiteral("/mounted")).constData(),
                    "tmpfs", 0, nullptr) == 0) {
            QFile inner(dir.path() + QStringLiteral("/mounted/hidden.bin"));
            if (inner.open(QIODevice::WriteOnly) && inner.write(QByteArray(8192, 'h')) == 8192) {
                inner.close();
                try {
                    const StorageScanResult result = scan(dir.path());
                    numbers[0] = result.fileCount;
                    numbers[1] = result.skippedMountPointCount;
                    numbers[2] = storageScanResultToJson(result)
                                     .toObject()
                                     .value(QStringLiteral("skippedMountPointCount"))
                                     .toInteger(-1);
                } catch (...) {
                }
            }
        }
        [[maybe_unused]] const auto written = ::write(pipeFds[1], numbers, sizeof numbers);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int64_t numbers[3] = {-2, -2, -2};
    const auto got = ::read(pipeFds[0], numbers, sizeof numbers);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof numbers));
    if (numbers[0] == -1)
        GTEST_SKIP() << "cannot mount a file system here";
    EXPECT_EQ(numbers[0], 1) << "the file on the other file system is not counted";
    EXPECT_EQ(numbers[1], 1);
    EXPECT_EQ(numbers[2], 1) << "and the JSON says so";
    EXPECT_EQ(scan(dir.path()).skippedMountPointCount, 0) << "unmounted: an ordinary empty folder";
}

TEST(FileSystemStorageMapScannerTrees, NamesThatAreNotTextStayDistinctAndPrintable) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    struct Child {
        QByteArray name;
        size_t size;
        QString shown;
    } children[] = {
        {"a\xff", 4096, QStringLiteral("a\\xff")},
        {"a\xfe", 8192, QStringLiteral("a\\xfe")},
        {"a\\xff", 12288, QStringLiteral("a\\\\xff")}, // a real backslash: not confused with the byte
        {"line\nbreak", 16384, QStringLiteral("line\\x0abreak")},
        {"caf\xc3\xa9", 20480, QStringLiteral("caf\u00e9")},
    };
    for (const Child& c : children) {
        ASSERT_EQ(::mkdir((root + '/' + c.name).constData(), 0755), 0);
        const int fd =
            ::open((root + '/' + c.name + "/data.bin").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const std::string data(c.size, 'n');
        ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
        ::close(fd);
    }
    const StorageScanResult result = scan(dir.path());
    ASSERT_EQ(result.items.size(), std::size(children));
    const QJsonArray json =
        storageScanResultToJson(result).toObject().value(QStringLiteral("items")).toArray();
    for (const Child& c : children) {
        const auto it = std::find_if(result.items.begin(), result.items.end(),
                                     [&](const StorageMapItem& item) { return item.nativeName == c.name; });
        ASSERT_NE(it, result.items.end()) << c.shown.toStdString();
        EXPECT_EQ(it->name, c.shown);
        EXPECT_EQ(it->relativePath, c.shown);
        EXPECT_FALSE(it->name.contains(u'\n'));
        EXPECT_TRUE(std::any_of(json.begin(), json.end(), [&](const QJsonValue& v) {
            return v.toObject().value(QStringLiteral("name")).toString() == c.shown;
        })) << c.shown.toStdString();
    }
}

TEST(StorageDisplayName, EscapesWhatIsNotPrintableText) {
    struct Case {
        QByteArray raw;
        QString shown;
    } cases[] = {
        {"plain.txt", QStringLiteral("plain.txt")},
        {"\xc3\xa7"
         "al\xc4\xb1\xc5\x9f"
         "ma",
         QStringLiteral("çalışma")},
        {"tab\there", QStringLiteral("tab\\x09here")},
        {"del\x7f", QStringLiteral("del\\x7f")},
        {"back\\slash", QStringLiteral("back\\\\slash")},
        {"\xc0\xaf", QStringLiteral("\\xc0\\xaf")},                                // overlong '/'
        {"\xed\xa0\x80", QStringLiteral("\\xed\\xa0\\x80")},                       // a lone surrogate
        {"\xf4\x90\x80\x80", QStringLiteral("\\xf4\\x90\\x80\\x80")},              // beyond U+10FFFF
        {"cut\xe2\x82", QStringLiteral("cut\\xe2\\x82")},                          // truncated sequence
        {"evil\xe2\x80\xaetxt.exe", QStringLiteral("evil\\xe2\\x80\\xaetxt.exe")}, // right-to-left override
        {"next\xc2\x85line", QStringLiteral("next\\xc2\\x85line")},                // C1 control
        {"emoji\xf0\x9f\x93\x81", QStringLiteral("emoji\U0001F4C1")},
        {"", QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(storageDisplayName(c.raw), c.shown) << c.raw.toStdString();
}
