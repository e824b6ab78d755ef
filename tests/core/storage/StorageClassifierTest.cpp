#include "storage/StorageClassifier.h"

#include "TestSupport.h"
#include "storage/StorageContentTypes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace kestrum;

namespace {

// Names of the regular files below `root` (bytes as stored), without following links or leaving the
// file system.
void collectFileNames(const std::string& root, std::set<std::string>& names) {
    struct stat rootStat {};
    if (::lstat(root.c_str(), &rootStat) != 0)
        return;
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        const std::string dir = std::move(pending.back());
        pending.pop_back();
        DIR* stream = ::opendir(dir.c_str());
        if (!stream)
            continue;
        while (const dirent* entry = ::readdir(stream)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = dir + '/' + name;
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0)
                continue;
            if (S_ISREG(st.st_mode))
                names.insert(name);
            else if (S_ISDIR(st.st_mode) && st.st_dev == rootStat.st_dev)
                pending.push_back(path);
        }
        ::closedir(stream);
    }
}

// Names that exercise every kind of pattern of the MIME database: extensions in any case, multi-part
// suffixes, whole names with and without case rules, wildcard patterns, leading dots, names that are
// not UTF-8, and letters whose lower case is ASCII.
const std::vector<std::string>& trickyNames() {
    static const std::vector<std::string> names = {
        "photo.JPG",
        "movie.Mp4",
        "song.mp3",
        "report.pdf",
        "letter.docx",
        "sheet.ODS",
        "x.C",
        "x.c",
        "a.Z",
        "a.z",
        "archive.tar.gz",
        "archive.TAR.GZ",
        "libfoo.so",
        "libfoo.so.6",
        "libfoo.so.6.0.1",
        "tool.exe",
        "app.AppImage",
        "pkg.deb",
        "README",
        "readme",
        "README.md",
        "README.txt",
        "READMEFIRST",
        "Makefile",
        "makefile",
        "GNUmakefile",
        "Makefile.am",
        "Makefile.in",
        "core",
        "Core",
        "CORE",
        "core.1234",
        "SConstruct",
        "SConscript",
        "SConscript.py",
        "ChangeLog",
        "changelog",
        "CHANGELOG",
        "COPYING",
        "AUTHORS",
        "INSTALL",
        "CREDITS",
        "RMAIL",
        "CMakeLists.txt",
        "notes~",
        "notes%",
        "notes,v",
        "film.anim3",
        "film.animj",
        "film.animk",
        "001.vdr",
        "12.vdr",
        "page.1",
        "page.9",
        "page.0",
        "page.1.gz",
        ".bashrc",
        ".hidden",
        "trailing.",
        ".",
        "..x",
        "x..",
        "name.averyveryverylongextension",
        "name.sixteenchars12",
        "name.sixteenchar1",
        "0123456789abcdef0123456789abcdef01234567",
        "Dockerfile",
        "mimeapps.list",
        "x.PL",
        "x.pl",
        "x.BLEND",
        "x.PAR2",
        "x.abw.CRASHED",
        "font.pcf.Z",
        "caf\xc3\xa9.txt",
        "caf\xe9",
        "\xff.png",
        "a.\xff",
        "a.PN\xc3\x96",
        "Ma\xe2\x84\xaa"
        "efile", // KELVIN SIGN: lower case is 'k'
        "\xc4\xb0NSTALL",
        "INSTALL\xc4\xb0",
        "x.\xc4\xb0so", // capital I with dot above
        "x.js",
        "x.JSON",
        "x.Md",
        "x.app",
        "x.xcodeproj",
    };
    return names;
}

} // namespace

TEST(StorageClassifier, DecidesLikeTheMimeDatabaseForEveryNameOnThisMachine) {
    if (QFile::exists(QStringLiteral("/usr/share/mime/mime.cache"))) {
        EXPECT_TRUE(StorageContentTypes::shared().hasPatternTable())
            << "the pattern files beside the database's cache should be read and agree with it";
    }
    std::set<std::string> names(trickyNames().begin(), trickyNames().end());
    collectFileNames("/usr", names);
    collectFileNames(KESTRUM_FIXTURES_DIR, names);
    ASSERT_GT(names.size(), trickyNames().size());
    StorageClassifier classifier;
    size_t mismatches = 0;
    for (const std::string& name : names) {
        for (const auto bundle : {StorageClassifier::Bundle::none, StorageClassifier::Bundle::project}) {
            const StorageCategory fast = classifier.classify(name, bundle);
            const StorageCategory reference = StorageClassifier::classifyWithDatabase(name, bundle);
            if (fast != reference && ++mismatches <= 20) {
                ADD_FAILURE() << "'" << name << "': " << rawValue(fast).toStdString() << " instead of "
                              << rawValue(reference).toStdString();
            }
            if (bundle == StorageClassifier::Bundle::none) { // asked again: the remembered answer is the same
                EXPECT_EQ(classifier.classify(name, bundle), fast) << name;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u) << "of " << names.size() << " names";
}

TEST(StorageClassifier, BundlesAndDeveloperExtensionsComeBeforeContentTypes) {
    struct Case {
        const char* name;
        StorageClassifier::Bundle bundle;
        StorageCategory expected;
    } cases[] = {
        {"tool", StorageClassifier::Bundle::application, StorageCategory::applications},
        {"movie.mp4", StorageClassifier::Bundle::application, StorageCategory::applications},
        {"project.pbxproj", StorageClassifier::Bundle::project, StorageCategory::developer},
        {"photo.png", StorageClassifier::Bundle::project, StorageCategory::developer},
        {"notes.md", StorageClassifier::Bundle::none, StorageCategory::developer},
        {"NOTES.MD", StorageClassifier::Bundle::none, StorageCategory::developer},
        {"page.html", StorageClassifier::Bundle::none, StorageCategory::developer},
        {"report.pdf", StorageClassifier::Bundle::none, StorageCategory::documents},
        {"photo.JPG", StorageClassifier::Bundle::none, StorageCategory::images},
        {"Demo.app", StorageClassifier::Bundle::none, StorageCategory::applications},
    };
    StorageClassifier classifier;
    for (const auto& c : cases)
        EXPECT_EQ(classifier.classify(c.name, c.bundle), c.expected) << c.name;
    using B = StorageClassifier::Bundle;
    EXPECT_EQ(StorageClassifier::bundleOf("Tool.APP", B::none), B::application);
    EXPECT_EQ(StorageClassifier::bundleOf("Proj.xcodeproj", B::none), B::project);
    EXPECT_EQ(StorageClassifier::bundleOf("Inner.app", B::project), B::application);
    EXPECT_EQ(StorageClassifier::bundleOf("src", B::project), B::project);
    EXPECT_EQ(StorageClassifier::bundleOf("Proj.xcworkspace", B::application), B::application);
    EXPECT_EQ(StorageClassifier::bundleOf(".app", B::none), B::none) << "a hidden name has no extension";
}

// The pattern table is used only when its files are what the database reads and agree with it;
// otherwise every name goes to the database, and the answers are the same either way.
TEST(StorageContentTypes, PatternFilesThatDoNotMatchTheDatabaseAreNotUsed) {
    const QString system = QStringLiteral("/usr/share/mime");
    if (!QFile::exists(system + QStringLiteral("/mime.cache")))
        GTEST_SKIP() << "no MIME database cache on this machine";
    const QByteArray globs = test::readFile(system + QStringLiteral("/globs2"));
    ASSERT_FALSE(globs.isEmpty());
    // Every pattern moved to one wrong type: the sample checked at load notices.
    QByteArray wrong;
    for (const QByteArray& line : globs.split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (line.startsWith('#') || fields.size() < 3) {
            wrong += line + '\n';
            continue;
        }
        QList<QByteArray> changed = fields;
        changed[1] = fields[1] == "video/mp4" ? "image/png" : "video/mp4";
        wrong += changed.join(':') + '\n';
    }
    struct Setup {
        const char* description;
        QByteArray globs;  // written as globs2 when not empty
        bool cache;        // a mime.cache beside it
        bool fdoPackage;   // packages/freedesktop.org.xml
        bool patternTable; // expected
    } setups[] = {
        {"a faithful copy", globs, true, true, true},
        {"patterns that disagree with the database", wrong, true, true, false},
        {"no freedesktop.org package: the database adds its own copy", globs, true, false, false},
        {"XML packages without a cache", {}, false, true, false},
        {"a cache without pattern file", {}, true, true, false},
        {"an unknown flag", globs + "50:text/plain:*.zzq:xx\n", true, true, false},
    };
    for (const Setup& setup : setups) {
        QTemporaryDir dir;
        if (!setup.globs.isEmpty())
            test::writeFile(dir.filePath(QStringLiteral("globs2")), setup.globs);
        if (setup.cache)
            test::writeFile(dir.filePath(QStringLiteral("mime.cache")), "x");
        if (setup.fdoPackage)
            test::writeFile(dir.filePath(QStringLiteral("packages/freedesktop.org.xml")), "<x/>");
        StorageContentTypes types(QStringList{dir.path()});
        EXPECT_EQ(types.hasPatternTable(), setup.patternTable) << setup.description;
        for (const char* name : {"x.png", "x.mp4", "README", "x.tar", "libfoo.so.1", "x.zzq", "Makefile"}) {
            const QString probe = QString::fromLatin1(name);
            EXPECT_EQ(types.categoryOfName(probe), StorageContentTypes::categoryByDatabase(probe))
                << setup.description << ": " << name;
        }
    }
}
