#pragma once

#include "StorageScanResult.h"

#include <QHash>
#include <QMimeType>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kestrum {

// The content category of a file name exactly as the MIME database decides it by name (MatchExtension),
// without asking the database for each name. The database compiles a regular expression for some of
// its glob patterns on every query, which made classification the largest cost of a scan; instead the
// glob patterns are read once per process from the files the database itself is built from (globs2
// beside each mime.cache, in the folders the database searches) and a name is matched against them
// directly. The database is still asked when the patterns do not decide on their own: when types of
// different categories match, when a type is masked, or when the pattern files cannot be read or give a
// different answer than the database on a sample checked at load. Its answers are remembered.
//
// Thread-safe: the pattern table is immutable after construction; the remembered answers are guarded.
class StorageContentTypes {
public:
    // The process-wide instance over the folders the MIME database uses.
    static StorageContentTypes& shared();
    // Over the given MIME folders instead (each one like /usr/share/mime).
    explicit StorageContentTypes(const QStringList& mimeDirectories);

    // Category of the type the database would give `name`; `other` when no pattern matches.
    StorageCategory categoryOfName(const QString& name);
    // The same question put to the database itself.
    static StorageCategory categoryByDatabase(const QString& name);
    // The content-type rule for one MIME type.
    static StorageCategory categoryOfMimeType(const QMimeType& type);

    // Whether names are matched against the pattern table (false: every name goes to the database).
    bool hasPatternTable() const { return m_usable; }

private:
    struct Glob {
        int type = 0;
        bool caseSensitive = false;
        QString text; // the pattern as written (for suffixes: what follows "*.")
    };
    struct WildcardGlob {
        int type = 0;
        bool caseSensitive = false;
        bool understood =
            true; // false: a pattern this matcher cannot read; a name it may match goes to the database
        QString pattern;      // lower-cased unless case-sensitive
        QString requiredText; // a literal run every match contains
    };
    enum class Decision : uint8_t { decided, askDatabase };

    void load(const QStringList& mimeDirectories);
    bool readGlobFile(const QString& path);
    int typeIndex(const QString& name);
    bool agreesWithDatabase();
    Decision decide(const QString& name, StorageCategory& category);
    std::optional<StorageCategory> categoryOfType(int type);
    StorageCategory rememberedDatabaseAnswer(const QString& name);

    bool m_usable = false;
    std::vector<QString> m_typeNames;
    QHash<QString, int> m_typeIndexes;
    std::vector<bool> m_maskedTypes;              // "__NOGLOBS__": patterns of other folders no longer apply
    QHash<QString, std::vector<Glob>> m_bySuffix; // "*.tar.gz" under "tar.gz", lower-cased
    QHash<QString, std::vector<Glob>> m_literals; // whole names, lower-cased
    std::vector<WildcardGlob> m_wildcards;        // everything else ("*~", "README*", "*.so.[0-9]*")

    std::mutex m_mutex;                   // guards what follows
    std::vector<int8_t> m_typeCategories; // -1: not yet known, -2: unknown to the database
    QHash<QString, StorageCategory> m_databaseAnswers;
};

} // namespace kestrum
