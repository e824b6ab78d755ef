#include "FileSystemStorageMapScanner.h"

#include "NaturalOrder.h"
#include "StorageClassifier.h"
#include "foundation/Translatable.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrum {

namespace StorageMapScannerError {
KestrumError locationIsNotDirectory() {
    return KestrumError(QStringLiteral("locationIsNotDirectory"), trText("Seçilen konum bir klasör değil."));
}
KestrumError locationCannotBeRead() {
    return KestrumError(QStringLiteral("locationCannotBeRead"),
                        trText("Seçilen klasör okunamadı veya izin artık geçerli değil."));
}
} // namespace StorageMapScannerError

namespace {

constexpr size_t kCategoryCount = 8;
constexpr int kCancellationCheckEvery = 250;

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

struct Tally {
    uint64_t bytes = 0;
    int64_t files = 0;
    void add(uint64_t size, int64_t count = 1) {
        bytes = saturatingAdd(bytes, size);
        files += count;
    }
};

// A directory waiting to be read.
struct Directory {
    std::string path; // absolute, as bytes
    int item = -1;    // the root's direct child it lies under; -1 for the root itself
    StorageClassifier::Bundle bundle = StorageClassifier::Bundle::none;
};

// What reading one directory found: its own files (not those of its subdirectories) and its subdirectories.
struct DirectoryResult {
    Tally files;
    std::array<Tally, kCategoryCount> categories{};
    std::vector<Directory> subdirectories;
    // Files directly in the root are items of their own: name → tally.
    std::vector<std::pair<std::string, Tally>> rootFiles;
    std::vector<std::string> rootSubdirectoryNames;
    int64_t inaccessible = 0;
};

struct RegularFile {
    std::string name;
    uint64_t bytes = 0;
};

class Walker {
public:
    Walker(dev_t device, std::stop_token stop, std::atomic<int64_t>& counted)
        : m_device(device), m_stop(std::move(stop)), m_counted(counted) {}

    // Reads one directory. `onlyFiles` collects the regular files instead of tallying them (used for
    // the directory where the file limit falls).
    void read(const Directory& directory, StorageClassifier& classifier, DirectoryResult& out,
              std::vector<RegularFile>* onlyFiles = nullptr) {
        const int fd =
            ::open(directory.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOATIME);
        const int dirFd =
            fd >= 0 ? fd : ::open(directory.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dirFd < 0) {
            if (errno != ENOENT) // vanished meanwhile: not an access problem
                ++out.inaccessible;
            return;
        }
        DIR* dir = ::fdopendir(dirFd);
        if (!dir) {
            ::close(dirFd);
            ++out.inaccessible;
            return;
        }
        const bool isRoot = directory.item < 0;
        int sinceCheck = 0;
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            if (++sinceCheck >= kCancellationCheckEvery) {
                sinceCheck = 0;
                if (m_stop.stop_requested())
                    break;
            }
            unsigned char type = entry->d_type;
            if (type == DT_LNK || type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK)
                continue; // links are never followed; special files hold no data
            struct stat st {};
            if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT)
                    ++out.inaccessible;
                continue;
            }
            const std::string_view nameView(name);
            if (S_ISDIR(st.st_mode)) {
                if (onlyFiles || st.st_dev != m_device)
                    continue; // another file system is not entered
                Directory child;
                child.path.reserve(directory.path.size() + 1 + nameView.size());
                child.path = directory.path;
                if (child.path.back() != '/')
                    child.path += '/';
                child.path += nameView;
                child.bundle = StorageClassifier::bundleOf(nameView, directory.bundle);
                if (isRoot)
                    out.rootSubdirectoryNames.emplace_back(nameView);
                child.item = isRoot ? static_cast<int>(out.rootSubdirectoryNames.size() - 1) : directory.item;
                out.subdirectories.push_back(std::move(child));
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue;
            const uint64_t bytes = st.st_blocks > 0 ? static_cast<uint64_t>(st.st_blocks) * 512u : 0u;
            if (onlyFiles) {
                onlyFiles->push_back({std::string(nameView), bytes});
                continue;
            }
            const StorageCategory category = classifier.classify(nameView, directory.bundle);
            out.files.add(bytes);
            out.categories[static_cast<size_t>(declarationIndex(category))].add(bytes);
            if (isRoot)
                out.rootFiles.emplace_back(std::string(nameView), Tally{bytes, 1});
        }
        ::closedir(dir);
        if (!onlyFiles)
            m_counted.fetch_add(out.files.files, std::memory_order_relaxed);
    }

private:
    dev_t m_device;
    std::stop_token m_stop;
    std::atomic<int64_t>& m_counted; // the live counter, one add per directory
};

// Reads a level's directories on `threads` workers; each result lands at its directory's index.
void readLevel(const std::vector<Directory>& level, std::vector<DirectoryResult>& results, int threads,
               Walker& walker, const std::stop_token& stop) {
    results.assign(level.size(), DirectoryResult{});
    std::atomic<size_t> next{0};
    const auto work = [&] {
        StorageClassifier classifier;
        for (size_t i = next++; i < level.size(); i = next++) {
            if (stop.stop_requested())
                return;
            walker.read(level[i], classifier, results[i]);
        }
    };
    const int workers =
        static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(threads, 1)), level.size()));
    if (workers <= 1) {
        work();
        return;
    }
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i)
        pool.emplace_back(work);
}

} // namespace

FileSystemStorageMapScanner::FileSystemStorageMapScanner(int64_t maximumFileCount, int threadCount,
                                                         DateProvider dateProvider)
    : m_maximumFileCount(maximumFileCount), m_threadCount(std::max(threadCount, 1)),
      m_dateProvider(dateProvider ? std::move(dateProvider) : systemDateProvider()) {}

StorageScanResult FileSystemStorageMapScanner::scan(const QString& rootPath, std::stop_token stop) {
    QString cleaned = QFileInfo(rootPath).absoluteFilePath();
    const QByteArray nativeRoot = QFile::encodeName(cleaned);
    struct stat rootStat {};
    if (::stat(nativeRoot.constData(), &rootStat) != 0)
        throw StorageMapScannerError::locationCannotBeRead();
    if (!S_ISDIR(rootStat.st_mode))
        throw StorageMapScannerError::locationIsNotDirectory();
    if (::access(nativeRoot.constData(), R_OK | X_OK) != 0)
        throw StorageMapScannerError::locationCannotBeRead();

    m_counted.store(0);
    Walker walker(rootStat.st_dev, stop, m_counted);
    std::vector<Tally> items; // by root child index
    std::vector<std::string> itemNames;
    std::array<Tally, kCategoryCount> categories{};
    Tally total;
    int64_t inaccessible = 0;
    bool truncated = false;

    std::vector<Directory> level{Directory{nativeRoot.toStdString(), -1, StorageClassifier::Bundle::none}};
    std::vector<DirectoryResult> results;
    bool isRootLevel = true;
    while (!level.empty()) {
        if (stop.stop_requested())
            throw CancellationError();
        readLevel(level, results, m_threadCount, walker, stop);
        if (stop.stop_requested())
            throw CancellationError();

        if (isRootLevel) {
            DirectoryResult& root = results.front();
            // Subdirectories first (their indexes are already assigned), then each root file as its own item.
            itemNames = root.rootSubdirectoryNames;
            for (const auto& file : root.rootFiles)
                itemNames.push_back(file.first);
            items.assign(itemNames.size(), Tally{});
            const size_t firstFileItem = root.rootSubdirectoryNames.size();
            if (root.files.files > m_maximumFileCount) {
                // The limit falls among the root's own files: take them in name order.
                std::vector<size_t> order(root.rootFiles.size());
                for (size_t i = 0; i < order.size(); ++i)
                    order[i] = i;
                std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                    return root.rootFiles[a].first < root.rootFiles[b].first;
                });
                StorageClassifier classifier;
                for (int64_t k = 0; k < m_maximumFileCount; ++k) {
                    const size_t i = order[static_cast<size_t>(k)];
                    const auto& [name, tally] = root.rootFiles[i];
                    items[firstFileItem + i].add(tally.bytes);
                    total.add(tally.bytes);
                    categories[static_cast<size_t>(declarationIndex(
                                   classifier.classify(name, StorageClassifier::Bundle::none)))]
                        .add(tally.bytes);
                }
                inaccessible += root.inaccessible;
                truncated = true;
                break;
            }
            for (size_t i = 0; i < root.rootFiles.size(); ++i)
                items[firstFileItem + i].add(root.rootFiles[i].second.bytes);
            total.add(root.files.bytes, root.files.files);
            for (size_t c = 0; c < kCategoryCount; ++c)
                categories[c].add(root.categories[c].bytes, root.categories[c].files);
            inaccessible += root.inaccessible;
            level = std::move(root.subdirectories);
            isRootLevel = false;
            continue;
        }

        int64_t levelFiles = 0;
        for (const DirectoryResult& r : results) {
            levelFiles += r.files.files;
            inaccessible += r.inaccessible;
        }
        const auto addWhole = [&](size_t i) {
            const DirectoryResult& r = results[i];
            items[static_cast<size_t>(level[i].item)].add(r.files.bytes, r.files.files);
            total.add(r.files.bytes, r.files.files);
            for (size_t c = 0; c < kCategoryCount; ++c)
                categories[c].add(r.categories[c].bytes, r.categories[c].files);
        };
        if (total.files + levelFiles <= m_maximumFileCount) {
            std::vector<Directory> nextLevel;
            for (size_t i = 0; i < level.size(); ++i) {
                addWhole(i);
                for (Directory& child : results[i].subdirectories)
                    nextLevel.push_back(std::move(child));
            }
            level = std::move(nextLevel);
            continue;
        }

        // The limit falls on this level: directories in path order, files by name in the last one.
        truncated = true;
        std::vector<size_t> order(level.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return level[a].path < level[b].path; });
        for (const size_t i : order) {
            const int64_t room = m_maximumFileCount - total.files;
            if (results[i].files.files <= room) {
                addWhole(i);
                continue;
            }
            std::vector<RegularFile> files;
            DirectoryResult scratch;
            StorageClassifier classifier;
            walker.read(level[i], classifier, scratch, &files);
            std::sort(files.begin(), files.end(),
                      [](const RegularFile& a, const RegularFile& b) { return a.name < b.name; });
            for (int64_t k = 0; k < room && k < static_cast<int64_t>(files.size()); ++k) {
                const RegularFile& file = files[static_cast<size_t>(k)];
                items[static_cast<size_t>(level[i].item)].add(file.bytes);
                total.add(file.bytes);
                categories[static_cast<size_t>(
                               declarationIndex(classifier.classify(file.name, level[i].bundle)))]
                    .add(file.bytes);
            }
            break;
        }
        break;
    }
    if (stop.stop_requested())
        throw CancellationError();

    StorageScanResult result;
    result.rootPath = cleaned;
    result.rootName = cleaned == u"/" ? QStringLiteral("/") : QFileInfo(cleaned).fileName();
    result.scannedAt = m_dateProvider();
    result.allocatedBytes = total.bytes;
    result.fileCount = total.files;
    result.inaccessibleItemCount = inaccessible;
    result.wasTruncated = truncated;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].files == 0)
            continue;
        const QString name =
            QFile::decodeName(QByteArray(itemNames[i].data(), static_cast<qsizetype>(itemNames[i].size())));
        result.items.push_back({name, name, items[i].bytes, items[i].files});
    }
    std::sort(result.items.begin(), result.items.end(), [](const StorageMapItem& a, const StorageMapItem& b) {
        if (a.allocatedBytes != b.allocatedBytes)
            return a.allocatedBytes > b.allocatedBytes;
        return naturalCompare(a.name, b.name) < 0;
    });
    for (const StorageCategory category : allCases<StorageCategory>()) {
        const Tally& tally = categories[static_cast<size_t>(declarationIndex(category))];
        if (tally.files > 0)
            result.categories.push_back({category, tally.bytes, tally.files});
    }
    std::stable_sort(result.categories.begin(), result.categories.end(),
                     [](const auto& a, const auto& b) { return a.allocatedBytes > b.allocatedBytes; });
    return result;
}

} // namespace kestrum
