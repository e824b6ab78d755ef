// The archive decoder on arbitrary bytes: it either refuses them with a decoding error or returns an
// archive that saves and loads back unchanged (after compaction too) — never a crash, never a file that
// the loader would then refuse.

#include "FuzzSupport.h"
#include "foundation/KestrumError.h"
#include "history/HealthArchive.h"
#include "history/HealthArchiveCompaction.h"

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HealthArchive archive;
    try {
        archive = decodeHealthArchive(fuzz::bytesOf(data, size));
    } catch (const KestrumError&) {
        return 0;
    }
    const QByteArray saved = encodeHealthArchive(archive);
    try {
        fuzz::require(decodeHealthArchive(saved) == archive, "a saved archive loads back equal");
        const HealthArchive compacted =
            HealthArchiveCompaction::compacted(archive, Date::fromUnixSeconds(1.765e9));
        const QByteArray compactedText = encodeHealthArchive(compacted);
        fuzz::require(decodeHealthArchive(compactedText) == compacted,
                      "a compacted archive loads back equal");
        fuzz::require(encodeHealthArchive(decodeHealthArchive(compactedText)) == compactedText,
                      "saving is stable");
    } catch (const KestrumError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        fuzz::propertyBroken("the loader refuses what the saver wrote");
    }
    return 0;
}
