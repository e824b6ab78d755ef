// The hand-verified model catalog. Each entry was checked against the manufacturer's published exploded
// view and orderable-parts article named in it; change an entry only after checking that document again.

#include "MacHardwareCatalog.h"
#include "foundation/Translatable.h"

namespace kestrum {

namespace {

struct PartRow {
    HardwareComponentKind kind;
    const char* name;
    const char* partNumber;
    PartApplicability applicability;
    const char* note; // nullptr: none
};

struct BoardRow {
    int memoryGigabytes;
    int storageGigabytes;
    const char* partNumber;
};

using K = HardwareComponentKind;
using A = PartApplicability;

#define COLOUR_NOTE TR_MARK("Kasa rengi fiziksel olarak doğrulanmalı.")
#define PANEL_NOTE TR_MARK("Kasa rengi ve ekran dokusu doğrulanmalı.")

constexpr PartRow kMacBookPro14M5Parts[] = {
    {K::battery, TR_MARK("Apple batarya"), "661-55016", A::exact,
     TR_MARK("Apple aynı batarya kalemi altında iki sipariş referansı yayımlıyor.")},
    {K::battery, TR_MARK("Apple batarya"), "923-13965", A::exact,
     TR_MARK("Sipariş sırasında güncel veya yerine geçen numara servis tarafından doğrulanmalı.")},
    {K::cooling, TR_MARK("Apple fan"), "923-13416", A::exact, nullptr},
    {K::ports, TR_MARK("USB-C kartları"), "923-13410", A::exact, nullptr},
    {K::power, TR_MARK("MagSafe 3 kartı — uzay siyahı"), "923-13412", A::requiresPhysicalVerification,
     COLOUR_NOTE},
    {K::power, TR_MARK("MagSafe 3 kartı — gümüş"), "923-13413", A::requiresPhysicalVerification, COLOUR_NOTE},
    {K::display, TR_MARK("Standart ekran — uzay siyahı"), "661-53075", A::requiresPhysicalVerification,
     PANEL_NOTE},
    {K::display, TR_MARK("Nano-texture ekran — uzay siyahı"), "661-53076", A::requiresPhysicalVerification,
     PANEL_NOTE},
    {K::display, TR_MARK("Standart ekran — gümüş"), "661-53077", A::requiresPhysicalVerification, PANEL_NOTE},
    {K::display, TR_MARK("Nano-texture ekran — gümüş"), "661-53078", A::requiresPhysicalVerification,
     PANEL_NOTE},
};

constexpr BoardRow kMacBookPro14M5Boards[] = {
    {16, 512, "661-53087"},  {16, 1024, "661-53088"}, {16, 2048, "661-53089"}, {24, 512, "661-53090"},
    {24, 1024, "661-53091"}, {24, 2048, "661-53092"}, {32, 512, "661-53093"},  {32, 1024, "661-53094"},
    {32, 2048, "661-53095"}, {16, 4096, "661-53096"}, {24, 4096, "661-53097"}, {32, 4096, "661-53098"},
};

#undef COLOUR_NOTE
#undef PANEL_NOTE

template <size_t P, size_t B>
MacModelCatalogEntry makeEntry(MacModelCatalogEntry entry, const PartRow (&parts)[P],
                               const BoardRow (&boards)[B]) {
    for (const PartRow& row : parts) {
        entry.parts.push_back(
            {row.kind, QString::fromUtf8(row.name), QString::fromUtf8(row.partNumber), row.applicability,
             row.note ? std::optional<QString>(QString::fromUtf8(row.note)) : std::nullopt});
    }
    for (const BoardRow& row : boards)
        entry.logicBoards.push_back(
            {row.memoryGigabytes, row.storageGigabytes, QString::fromUtf8(row.partNumber)});
    return entry;
}

std::vector<MacModelCatalogEntry> buildEntries() {
    MacModelCatalogEntry macBookPro14M5;
    macBookPro14M5.modelIdentifiers = {QStringLiteral("Mac17,2")};
    macBookPro14M5.modelName = trText("MacBook Pro (14 inç, M5)");
    macBookPro14M5.introductionYear = 2025;
    macBookPro14M5.displayName = trText("14,2 inç Liquid Retina XDR");
    macBookPro14M5.coolingName = trText("Apple tek fanlı termal modül");
    macBookPro14M5.memoryArchitecture = MemoryArchitecture::unifiedLogicBoard();
    macBookPro14M5.memoryOptionsGigabytes = {16, 24, 32};
    macBookPro14M5.storageArchitecture = StorageArchitecture::logicBoardIntegrated();
    macBookPro14M5.storageOptionsGigabytes = {512, 1024, 2048, 4096};
    macBookPro14M5.repairManualID = QStringLiteral("XCYLHG");
    macBookPro14M5.sourceURL = QStringLiteral("https://support.apple.com/self-service-repair");
    macBookPro14M5.sourceTitle =
        QStringLiteral("MacBook Pro (14-inch, M5) Exploded View and Orderable Parts");
    macBookPro14M5.verifiedAt = Date::fromUnixSeconds(1'768'435'200); // 2026-01-15 00:00 UTC
    return {makeEntry(std::move(macBookPro14M5), kMacBookPro14M5Parts, kMacBookPro14M5Boards)};
}

} // namespace

const std::vector<MacModelCatalogEntry>& MacHardwareCatalog::defaultEntries() {
    static const std::vector<MacModelCatalogEntry> entries = buildEntries();
    return entries;
}

} // namespace kestrum
