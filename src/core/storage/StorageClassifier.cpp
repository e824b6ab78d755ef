#include "StorageClassifier.h"

#include <QFile>
#include <algorithm>
#include <array>

namespace kestrum {

namespace {

constexpr size_t kWholeNameCacheLimit = 4096;

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool isDeveloperExtension(std::string_view extension) {
    static constexpr std::array<std::string_view, 28> extensions = {
        "c",  "cc",  "cpp", "css", "go", "h",  "hpp", "html",  "java", "js",  "json", "kt",  "m",    "md",
        "mm", "php", "py",  "rb",  "rs", "sh", "sql", "swift", "ts",   "tsx", "vue",  "xml", "yaml", "yml"};
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

bool isOneOf(const QString& name, std::initializer_list<const char*> names) {
    for (const char* candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

} // namespace

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The lower-case extension of a name ("photo.JPG" → "jpg") in a small buffer; empty when there is
// none, or when it is too long to be a real extension.
std::string_view lowerExtension(std::string_view name, char (&buffer)[16]) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 >= name.size() ||
        name.size() - dot - 1 > sizeof buffer)
        return {};
    const std::string_view extension = name.substr(dot + 1);
    for (size_t i = 0; i < extension.size(); ++i)
        buffer[i] = asciiLower(extension[i]);
    return std::string_view(buffer, extension.size());
}

} // namespace

StorageClassifier::Bundle StorageClassifier::bundleOf(std::string_view component, Bundle inherited) {
    if (inherited == Bundle::application)
        return Bundle::application;
    char buffer[16];
    const std::string_view extension = lowerExtension(component, buffer);
    if (extension == "app")
        return Bundle::application;
    if (inherited == Bundle::project || extension == "xcodeproj" || extension == "xcworkspace")
        return Bundle::project;
    return Bundle::none;
}

StorageCategory StorageClassifier::categoryOfMimeType(const QMimeType& type) {
    if (!type.isValid() || type.isDefault())
        return StorageCategory::other;
    const QString name = type.name();
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
    if (isOneOf(name, {"application/zip",
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

StorageCategory StorageClassifier::byExtension(std::string_view extension) {
    if (const auto it = m_byExtension.find(std::string(extension)); it != m_byExtension.end())
        return it->second;
    StorageCategory category = StorageCategory::developer;
    if (!isDeveloperExtension(extension)) {
        // A representative name is enough: glob patterns look at the extension.
        const QString probe = QStringLiteral("x.") +
                              QFile::decodeName(QByteArray(extension.data(), qsizetype(extension.size())));
        category = categoryOfMimeType(m_database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension));
    }
    m_byExtension.emplace(std::string(extension), category);
    return category;
}

StorageCategory StorageClassifier::byContentType(std::string_view fileName) {
    const std::string key = lowered(fileName);
    if (const auto it = m_byWholeName.find(key); it != m_byWholeName.end())
        return it->second;
    const QString probe = QFile::decodeName(QByteArray(fileName.data(), qsizetype(fileName.size())));
    const StorageCategory category =
        categoryOfMimeType(m_database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension));
    if (m_byWholeName.size() < kWholeNameCacheLimit)
        m_byWholeName.emplace(key, category);
    return category;
}

StorageCategory StorageClassifier::classify(std::string_view fileName, Bundle enclosing) {
    if (enclosing == Bundle::application)
        return StorageCategory::applications;
    char buffer[16];
    const std::string_view extension = lowerExtension(fileName, buffer);
    if (extension == "app")
        return StorageCategory::applications;
    if (enclosing == Bundle::project || extension == "xcodeproj" || extension == "xcworkspace")
        return StorageCategory::developer;
    if (!extension.empty())
        return byExtension(extension);
    // No usable extension: the whole name may still match ("Makefile", "README").
    return byContentType(fileName);
}

} // namespace kestrum
