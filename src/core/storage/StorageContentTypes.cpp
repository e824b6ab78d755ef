#include "StorageContentTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <algorithm>

namespace kestrum {

namespace {

constexpr qsizetype kRememberedAnswersLimit = 65'536;
constexpr int kSampledSuffixes = 24;

bool isWildcard(QChar c) {
    return c == u'*' || c == u'?' || c == u'[';
}

// Reads a bracket expression at p[start] == '['; returns its length, or 0 when it is not one this
// matcher understands the same way as the database (ranges, a leading '!' for "none of").
qsizetype bracketLength(QStringView p, qsizetype start) {
    qsizetype i = start + 1;
    if (i < p.size() && p[i] == u'!')
        ++i;
    bool first = true;
    while (i < p.size()) {
        const QChar c = p[i];
        if (c == u']' && !first)
            return i - start + 1;
        if (c == u'\\' || c == u'[' || (first && c == u'^'))
            return 0;
        if (i + 2 < p.size() && p[i + 1] == u'-' && p[i + 2] != u']')
            i += 3;
        else
            i += 1;
        first = false;
    }
    return 0;
}

bool bracketMatches(QStringView p, qsizetype start, QChar c) {
    qsizetype i = start + 1;
    bool negate = false;
    if (p[i] == u'!') {
        negate = true;
        ++i;
    }
    bool matched = false;
    bool first = true;
    while (!(p[i] == u']' && !first)) {
        if (i + 2 < p.size() && p[i + 1] == u'-' && p[i + 2] != u']') {
            matched = matched || (c >= p[i] && c <= p[i + 2]);
            i += 3;
        } else {
            matched = matched || c == p[i];
            i += 1;
        }
        first = false;
    }
    return matched != negate;
}

// Shell-style match of a whole name: '*' any run, '?' one character, '[…]' one of a set.
bool wildcardMatches(QStringView p, QStringView s) {
    qsizetype pi = 0;
    qsizetype si = 0;
    qsizetype starP = -1;
    qsizetype starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            const QChar c = p[pi];
            if (c == u'*') {
                starP = ++pi;
                starS = si;
                continue;
            }
            if (c == u'?') {
                ++pi;
                ++si;
                continue;
            }
            if (c == u'[') {
                if (bracketMatches(p, pi, s[si])) {
                    pi += bracketLength(p, pi);
                    ++si;
                    continue;
                }
            } else if (c == s[si]) {
                ++pi;
                ++si;
                continue;
            }
        }
        if (starP < 0)
            return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

// The longest run of plain characters in a pattern: every name it matches contains it.
QString longestLiteralRun(QStringView p) {
    QString best;
    QString run;
    for (qsizetype i = 0; i < p.size();) {
        if (p[i] == u'[') {
            const qsizetype length = bracketLength(p, i);
            i += length > 0 ? length : 1;
            run.clear();
            continue;
        }
        if (isWildcard(p[i])) {
            run.clear();
        } else {
            run += p[i];
            if (run.size() > best.size())
                best = run;
        }
        ++i;
    }
    return best;
}

bool wildcardUnderstood(QStringView p) {
    if (p.contains(u'\\'))
        return false;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == u'[') {
            const qsizetype length = bracketLength(p, i);
            if (length == 0)
                return false;
            i += length - 1;
        } else if (p[i] == u']') {
            return false;
        }
    }
    return true;
}

} // namespace

StorageContentTypes& StorageContentTypes::shared() {
    static StorageContentTypes instance(QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("mime"), QStandardPaths::LocateDirectory));
    return instance;
}

StorageContentTypes::StorageContentTypes(const QStringList& mimeDirectories) {
    load(mimeDirectories);
}

StorageCategory StorageContentTypes::categoryOfMimeType(const QMimeType& type) {
    if (!type.isValid() || type.isDefault())
        return StorageCategory::other;
    const QString name = type.name();
    const auto isOneOf = [&](std::initializer_list<const char*> names) {
        for (const char* candidate : names) {
            if (name == QLatin1String(candidate))
                return true;
        }
        return false;
    };
    const auto isOrInherits = [&](std::initializer_list<const char*> names) {
        for (const char* candidate : names) {
            if (name == QLatin1String(candidate) || type.inherits(QLatin1String(candidate)))
                return true;
        }
        return false;
    };
    if (isOrInherits({"application/x-executable", "application/x-sharedlib", "application/x-desktop",
                      "application/vnd.appimage", "application/x-ms-dos-executable",
                      "application/x-msdownload", "application/x-msi",
                      "application/vnd.android.package-archive", "application/vnd.flatpak",
                      "application/vnd.flatpak.ref", "application/x-apple-systemprofiler+xml"}))
        return StorageCategory::applications;
    if (name.startsWith(u"video/"))
        return StorageCategory::video;
    if (name.startsWith(u"image/"))
        return StorageCategory::images;
    if (name.startsWith(u"audio/"))
        return StorageCategory::audio;
    // Archives by their own types, not by "is a zip file": office documents are zip files too.
    if (isOneOf({"application/zip",
                 "application/x-tar",
                 "application/gzip",
                 "application/x-gzip",
                 "application/x-bzip",
                 "application/x-bzip2",
                 "application/x-xz",
                 "application/zstd",
                 "application/x-zstd-compressed-tar",
                 "application/x-7z-compressed",
                 "application/vnd.rar",
                 "application/x-rar",
                 "application/x-lzma",
                 "application/x-lz4",
                 "application/x-lzip",
                 "application/x-compress",
                 "application/x-cpio",
                 "application/x-compressed-tar",
                 "application/x-bzip-compressed-tar",
                 "application/x-bzip2-compressed-tar",
                 "application/x-xz-compressed-tar",
                 "application/x-lzma-compressed-tar",
                 "application/x-cd-image",
                 "application/x-apple-diskimage",
                 "application/vnd.debian.binary-package",
                 "application/x-rpm",
                 "application/x-archive",
                 "application/java-archive",
                 "application/x-iso9660-image"}))
        return StorageCategory::archives;
    if (name == u"application/pdf" || name.startsWith(u"text/") ||
        type.inherits(QStringLiteral("text/plain")) || name.contains(u"spreadsheet") ||
        name.contains(u"presentation") || name.contains(u"ms-excel") || name.contains(u"ms-powerpoint") ||
        name.contains(u"wordprocessing") || name == u"application/msword" ||
        name == u"application/vnd.oasis.opendocument.text" || name == u"application/rtf" ||
        name == u"application/epub+zip")
        return StorageCategory::documents;
    return StorageCategory::other;
}

StorageCategory StorageContentTypes::categoryByDatabase(const QString& name) {
    return categoryOfMimeType(QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension));
}

int StorageContentTypes::typeIndex(const QString& name) {
    if (const auto it = m_typeIndexes.constFind(name); it != m_typeIndexes.constEnd())
        return it.value();
    const int index = static_cast<int>(m_typeNames.size());
    m_typeNames.push_back(name);
    m_maskedTypes.push_back(false);
    m_typeIndexes.insert(name, index);
    return index;
}

bool StorageContentTypes::readGlobFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        // weight:type:pattern[:flags]
        QStringList fields = line.split(u':');
        if (fields.size() < 3)
            return false;
        bool caseSensitive = false;
        if (fields.size() > 3) {
            const QStringList flags = fields.takeLast().split(u',', Qt::SkipEmptyParts);
            for (const QString& flag : flags) {
                if (flag != u"cs")
                    return false; // a flag whose meaning is not known here
                caseSensitive = true;
            }
        }
        if (fields.size() != 3)
            return false;
        const int type = typeIndex(fields[1]);
        const QString pattern = fields[2];
        if (pattern == u"__NOGLOBS__") {
            m_maskedTypes[static_cast<size_t>(type)] = true;
            continue;
        }
        if (pattern.isEmpty())
            continue;
        const bool suffixForm = pattern.startsWith(u"*.") && pattern.size() > 2 &&
                                std::none_of(pattern.begin() + 2, pattern.end(), isWildcard);
        const bool literalForm = std::none_of(pattern.begin(), pattern.end(), isWildcard);
        if (suffixForm) {
            const QString suffix = pattern.mid(2);
            m_bySuffix[suffix.toLower()].push_back({type, caseSensitive, suffix});
        } else if (literalForm) {
            m_literals[pattern.toLower()].push_back({type, caseSensitive, pattern});
        } else {
            WildcardGlob glob;
            glob.type = type;
            glob.caseSensitive = caseSensitive;
            glob.pattern = caseSensitive ? pattern : pattern.toLower();
            glob.understood = wildcardUnderstood(glob.pattern);
            glob.requiredText = longestLiteralRun(glob.pattern);
            m_wildcards.push_back(std::move(glob));
        }
    }
    return true;
}

void StorageContentTypes::load(const QStringList& mimeDirectories) {
    // The database reads the binary cache of each folder that has one and the XML packages of one that
    // has none; it adds its own built-in copy when no folder holds the freedesktop.org package. The
    // table mirrors only the first kind; anything else leaves every question to the database.
    bool sawFreedesktopPackage = false;
    bool readAny = false;
    for (const QString& directory : mimeDirectories) {
        const QDir dir(directory);
        if (dir.exists(QStringLiteral("packages/freedesktop.org.xml")))
            sawFreedesktopPackage = true;
        if (dir.exists(QStringLiteral("mime.cache"))) {
            if (!readGlobFile(dir.filePath(QStringLiteral("globs2"))))
                return;
            readAny = true;
        } else if (dir.exists(QStringLiteral("packages"))) {
            return;
        }
    }
    if (!readAny || !sawFreedesktopPackage)
        return;
    m_typeCategories.assign(m_typeNames.size(), -1);
    m_usable = agreesWithDatabase();
}

bool StorageContentTypes::agreesWithDatabase() {
    // Names made from a spread of the suffix patterns and from every whole-name pattern must get the
    // database's own answers; if they do not, the files read are not what the database uses.
    QStringList suffixes = m_bySuffix.keys();
    std::sort(suffixes.begin(), suffixes.end());
    QStringList probes;
    const qsizetype step = std::max<qsizetype>(1, suffixes.size() / kSampledSuffixes);
    for (qsizetype i = 0; i < suffixes.size(); i += step)
        probes << QStringLiteral("x.") + m_bySuffix.value(suffixes[i]).front().text;
    for (auto it = m_literals.cbegin(); it != m_literals.cend(); ++it)
        probes << it.value().front().text;
    for (const QString& probe : probes) {
        StorageCategory category = StorageCategory::other;
        if (decide(probe, category) == Decision::decided && category != categoryByDatabase(probe))
            return false;
    }
    return true;
}

std::optional<StorageCategory> StorageContentTypes::categoryOfType(int type) {
    {
        std::lock_guard lock(m_mutex);
        const int8_t known = m_typeCategories[static_cast<size_t>(type)];
        if (known == -2)
            return std::nullopt;
        if (known >= 0)
            return static_cast<StorageCategory>(known);
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForName(m_typeNames[static_cast<size_t>(type)]);
    const int8_t value = mime.isValid() ? static_cast<int8_t>(categoryOfMimeType(mime)) : int8_t{-2};
    std::lock_guard lock(m_mutex);
    m_typeCategories[static_cast<size_t>(type)] = value;
    if (value == -2)
        return std::nullopt;
    return static_cast<StorageCategory>(value);
}

StorageContentTypes::Decision StorageContentTypes::decide(const QString& name, StorageCategory& category) {
    const QString lower = name.toLower();
    // Every type some pattern gives this name; the database picks one of them by weight and length.
    int matched[16];
    size_t matchedCount = 0;
    bool undecidable = false;
    const auto add = [&](int type) {
        if (m_maskedTypes[static_cast<size_t>(type)] || matchedCount == std::size(matched)) {
            undecidable = true;
            return;
        }
        if (std::find(matched, matched + matchedCount, type) == matched + matchedCount)
            matched[matchedCount++] = type;
    };
    for (qsizetype dot = lower.indexOf(u'.'); dot >= 0; dot = lower.indexOf(u'.', dot + 1)) {
        if (dot + 1 >= lower.size())
            break;
        const auto it = m_bySuffix.constFind(lower.mid(dot + 1));
        if (it == m_bySuffix.constEnd())
            continue;
        for (const Glob& glob : it.value()) {
            if (!glob.caseSensitive || QStringView(name).mid(dot + 1) == glob.text)
                add(glob.type);
        }
    }
    if (const auto it = m_literals.constFind(lower); it != m_literals.constEnd()) {
        for (const Glob& glob : it.value()) {
            if (!glob.caseSensitive || name == glob.text)
                add(glob.type);
        }
    }
    for (const WildcardGlob& glob : m_wildcards) {
        const QString& subject = glob.caseSensitive ? name : lower;
        if (!glob.requiredText.isEmpty() && !subject.contains(glob.requiredText))
            continue;
        if (!glob.understood) {
            undecidable = true;
            continue;
        }
        if (wildcardMatches(glob.pattern, subject))
            add(glob.type);
    }
    if (undecidable)
        return Decision::askDatabase;
    if (matchedCount == 0) {
        category = StorageCategory::other; // no pattern: the database's default type
        return Decision::decided;
    }
    for (size_t i = 0; i < matchedCount; ++i) {
        const std::optional<StorageCategory> typeCategory = categoryOfType(matched[i]);
        if (!typeCategory || (i > 0 && *typeCategory != category))
            return Decision::askDatabase;
        category = *typeCategory;
    }
    return Decision::decided;
}

StorageCategory StorageContentTypes::rememberedDatabaseAnswer(const QString& name) {
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_databaseAnswers.constFind(name); it != m_databaseAnswers.constEnd())
            return it.value();
    }
    const StorageCategory category = categoryByDatabase(name);
    std::lock_guard lock(m_mutex);
    if (m_databaseAnswers.size() < kRememberedAnswersLimit)
        m_databaseAnswers.insert(name, category);
    return category;
}

StorageCategory StorageContentTypes::categoryOfName(const QString& name) {
    if (m_usable) {
        StorageCategory category = StorageCategory::other;
        if (decide(name, category) == Decision::decided)
            return category;
    }
    return rememberedDatabaseAnswer(name);
}

} // namespace kestrum
