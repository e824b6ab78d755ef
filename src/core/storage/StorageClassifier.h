#pragma once

#include "StorageContentTypes.h"
#include "StorageScanResult.h"

#include <QMimeType>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrum {

// Decides a file's content category from its path components and name, never opening the file:
// application and project bundles by path component, then the developer extensions, then the content
// type of the name. A name with an extension is classified by its lower-cased extension alone, a name
// without one by the whole name.
//
// One instance per thread and scan: it remembers each extension's category (and those of the names
// without one, up to a bound), so a scan decides once per kind of file, and looking one up allocates
// nothing.
class StorageClassifier {
public:
    // Whether a path component makes everything below it an application or a project bundle.
    enum class Bundle : uint8_t { none, project, application };
    static Bundle bundleOf(std::string_view component, Bundle inherited);

    explicit StorageClassifier(StorageContentTypes& contentTypes = StorageContentTypes::shared());

    StorageCategory classify(std::string_view fileName, Bundle enclosing);

    // The same rules with the MIME database asked for every name: what the classification must equal.
    static StorageCategory classifyWithDatabase(std::string_view fileName, Bundle enclosing);
    // The content-type rule alone, for a MIME type.
    static StorageCategory categoryOfMimeType(const QMimeType& type) {
        return StorageContentTypes::categoryOfMimeType(type);
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Memory = std::unordered_map<std::string, StorageCategory, Hash, std::equal_to<>>;

    // A direct-mapped slot per extension hash in front of the map: most files hit it.
    struct RecentExtension {
        uint8_t length = 0xff; // none
        StorageCategory category = StorageCategory::other;
        char text[16] = {};
    };
    static constexpr size_t kRecentSlots = 512;

    StorageCategory byExtension(std::string_view lowerExtension);

    StorageContentTypes& m_contentTypes;
    std::array<RecentExtension, kRecentSlots> m_recent{};
    Memory m_byExtension; // lower-cased extension → category, developer rule applied
    Memory m_byName;      // names without an extension, as they are
};

} // namespace kestrum
