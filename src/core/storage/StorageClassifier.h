#pragma once

#include "StorageScanResult.h"

#include <QMimeDatabase>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrum {

// Decides a file's content category from its path components and name, never opening the file:
// application and project bundles by path component, then the developer extensions, then the content
// type of the name (QMimeDatabase, by name only). One instance per thread: it caches answers by
// extension, so the MIME database is asked once per kind of file, not once per file.
class StorageClassifier {
public:
    // Whether a path component makes everything below it an application or a project bundle.
    enum class Bundle : uint8_t { none, project, application };
    static Bundle bundleOf(std::string_view component, Bundle inherited);

    StorageCategory classify(std::string_view fileName, Bundle enclosing);
    // The content-type rule alone, for a MIME type name.
    static StorageCategory categoryOfMimeType(const QMimeType& type);

private:
    StorageCategory byContentType(std::string_view fileName);
    StorageCategory byExtension(std::string_view lowerExtension);

    QMimeDatabase m_database;
    // Extension (lower case) → category, with the developer rule already applied.
    std::unordered_map<std::string, StorageCategory> m_byExtension;
    std::unordered_map<std::string, StorageCategory> m_byWholeName; // names without an extension
};

} // namespace kestrum
