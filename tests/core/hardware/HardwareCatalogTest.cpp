// The model catalog: exact lookup, the parts one configuration resolves to, and the nearest storage size.

#include "hardware/MacHardwareCatalog.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

constexpr uint64_t GiB = 1'073'741'824;

QStringList ids(const std::vector<OriginalPartReference>& parts) {
    QStringList out;
    for (const auto& part : parts)
        out << part.id();
    return out;
}

} // namespace

TEST(MacHardwareCatalog, MatchesOnlyTheExactIdentifier) {
    const MacHardwareCatalog catalog;
    const auto entry = catalog.entry(QStringLiteral("Mac17,2"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->modelName, QStringLiteral("MacBook Pro (14 inç, M5)"));
    EXPECT_EQ(entry->parts.size(), 10u);
    EXPECT_EQ(entry->logicBoards.size(), 12u);
    for (const char* other :
         {"mac17,2", "MAC17,2", "Mac17,2 ", "Mac17,1", "MacBookAir10,1", "", "Kullanılamıyor"})
        EXPECT_FALSE(catalog.entry(QString::fromUtf8(other))) << other;
}

TEST(MacHardwareCatalog, NearestStorageSize) {
    const std::vector<int> options{512, 1024, 2048, 4096};
    struct Case {
        uint64_t bytes;
        std::vector<int> options;
        std::optional<int> expected;
    } cases[] = {
        {994'662'584'320, options, 1024}, // a 1 TB disk as the system reports it
        {2'000'000'000'000, options, 2048},
        {500'277'790'720, options, 512},
        {768'000'000'000, options, 512}, // exactly between 512 and 1024: the earlier option
        {769'000'000'000, options, 1024},
        {9'000'000'000'000, options, 4096},
        {1, {256}, 256}, // one option is the answer whatever the size
        {1'000'000'000'000, {}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MacModelCatalogEntry::nearestStorageGigabytes(c.bytes, c.options), c.expected) << c.bytes;
}

TEST(MacHardwareCatalog, ResolvesTheLogicBoardOfThisConfiguration) {
    const auto entry = *MacHardwareCatalog{}.entry(QStringLiteral("Mac17,2"));
    const auto parts = entry.resolvedParts(24 * GiB, 2'000'000'000'000);
    ASSERT_EQ(parts.size(), 11u);
    const auto board = std::find_if(parts.begin(), parts.end(), [](const auto& p) {
        return p.componentKind == HardwareComponentKind::processor;
    });
    ASSERT_NE(board, parts.end());
    EXPECT_EQ(board->partNumber, QStringLiteral("661-53092"));
    EXPECT_EQ(board->componentName, QStringLiteral("Ana kart — M5, 24 GB bellek, 2048 GB SSD"));
    EXPECT_EQ(board->applicability, PartApplicability::configurationMatched);
    EXPECT_EQ(board->sourceTitle, entry.sourceTitle);
    EXPECT_EQ(board->verifiedAt, entry.verifiedAt);
    EXPECT_EQ(parts.back().id(), QStringLiteral("processor:661-53092")) << "processor sorts last";

    // A size no board has, or an unknown size, adds no board; the catalog's own parts stay, sorted.
    const QStringList sorted{"battery:661-55016", "battery:923-13965", "cooling:923-13416",
                             "display:661-53075", "display:661-53076", "display:661-53077",
                             "display:661-53078", "ports:923-13410",   "power:923-13412",
                             "power:923-13413"};
    EXPECT_EQ(ids(entry.resolvedParts(8 * GiB, 994'662'584'320)), sorted);
    EXPECT_EQ(ids(entry.resolvedParts(std::nullopt, 994'662'584'320)), sorted);
    EXPECT_EQ(ids(entry.resolvedParts(16 * GiB, std::nullopt)), sorted);
    // Memory rounds to whole gigabytes: 15.6 GiB is the 16 GB board.
    const auto rounded = entry.resolvedParts(static_cast<uint64_t>(15.6 * GiB), 994'662'584'320);
    EXPECT_EQ(rounded.back().partNumber, QStringLiteral("661-53088"));
    for (const auto& part : rounded)
        EXPECT_EQ(part.sourceURL, entry.sourceURL);
}
