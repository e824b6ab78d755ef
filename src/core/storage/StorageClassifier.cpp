#include "StorageClassifier.h"

#include <QFile>
#include <algorithm>
#include <array>

namespace kestrum {

namespace {

// Names without an extension are remembered up to this many per classifier; beyond it (folders of
// hash-named files) each is matched again, which needs no database query.
constexpr size_t kRememberedNamesLimit = 4096;

bool isDeveloperExtension(std::string_view extension) {
    static constexpr std::array<std::string_view, 28> extensions = {
        "c",  "cc",  "cpp", "css", "go", "h",  "hpp", "html",  "java", "js",  "json", "kt",  "m",    "md",
        "mm", "php", "py",  "rb",  "rs", "sh", "sql", "swift", "ts",   "tsx", "vue",  "xml", "yaml", "yml"};
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

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

QString decoded(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// A representative name is enough for an extension: the rules look at the extension only.
QString extensionProbe(std::string_view lowerExtension) {
    return QStringLiteral("x.") + decoded(lowerExtension);
}

} // namespace

StorageClassifier::StorageClassifier(StorageContentTypes& contentTypes) : m_contentTypes(contentTypes) {}

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
    if (const auto it = m_byName.find(fileName); it != m_byName.end())
        return it->second;
    const StorageCategory category = m_contentTypes.categoryOfName(decoded(fileName));
    if (m_byName.size() < kRememberedNamesLimit)
        m_byName.emplace(std::string(fileName), category);
    return category;
}

StorageCategory StorageClassifier::byExtension(std::string_view extension) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : extension)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    RecentExtension& slot = m_recent[hash % kRecentSlots];
    if (slot.length == extension.size() && std::memcmp(slot.text, extension.data(), extension.size()) == 0)
        return slot.category;
    StorageCategory category = StorageCategory::developer;
    if (const auto it = m_byExtension.find(extension); it != m_byExtension.end()) {
        category = it->second;
    } else {
        if (!isDeveloperExtension(extension))
            category = m_contentTypes.categoryOfName(extensionProbe(extension));
        m_byExtension.emplace(std::string(extension), category);
    }
    slot.length = static_cast<uint8_t>(extension.size());
    slot.category = category;
    std::memcpy(slot.text, extension.data(), extension.size());
    return category;
}

StorageCategory StorageClassifier::classifyWithDatabase(std::string_view fileName, Bundle enclosing) {
    if (enclosing == Bundle::application)
        return StorageCategory::applications;
    char buffer[16];
    const std::string_view extension = lowerExtension(fileName, buffer);
    if (extension == "app")
        return StorageCategory::applications;
    if (enclosing == Bundle::project || extension == "xcodeproj" || extension == "xcworkspace")
        return StorageCategory::developer;
    if (!extension.empty()) {
        if (isDeveloperExtension(extension))
            return StorageCategory::developer;
        return StorageContentTypes::categoryByDatabase(extensionProbe(extension));
    }
    return StorageContentTypes::categoryByDatabase(decoded(fileName));
}

} // namespace kestrum
