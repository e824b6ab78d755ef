#pragma once

#include "foundation/EnumTraits.h"

#include <QString>
#include <set>
#include <span>
#include <vector>

namespace kestrum {

// The sidebar's sections, in sidebar order.
enum class NavigationSection {
    overview,
    healthCenter,
    fullSystemScan,
    healthTest,
    benchmarkLab,
    hardwareAdvisor,
    aiHardwareDoctor,
    performance,
    resourceAnalysis,
    battery,
    network,
    storageMap,
    history,
    advanced
};

template <> struct EnumTraits<NavigationSection> {
    static constexpr std::pair<NavigationSection, std::string_view> cases[] = {
        {NavigationSection::overview, "overview"},
        {NavigationSection::healthCenter, "healthCenter"},
        {NavigationSection::fullSystemScan, "fullSystemScan"},
        {NavigationSection::healthTest, "healthTest"},
        {NavigationSection::benchmarkLab, "benchmarkLab"},
        {NavigationSection::hardwareAdvisor, "hardwareAdvisor"},
        {NavigationSection::aiHardwareDoctor, "aiHardwareDoctor"},
        {NavigationSection::performance, "performance"},
        {NavigationSection::resourceAnalysis, "resourceAnalysis"},
        {NavigationSection::battery, "battery"},
        {NavigationSection::network, "network"},
        {NavigationSection::storageMap, "storageMap"},
        {NavigationSection::history, "history"},
        {NavigationSection::advanced, "advanced"},
    };
};

// One row of the sidebar's table: the section, its Turkish title, its symbol and the QML file of its
// view. A section whose capability is not built yet has no view file and is not shown.
struct NavigationSectionEntry {
    NavigationSection section;
    const char* title;
    const char* symbol;
    const char* viewFile;
};

// Every section, in sidebar order. The one place that names a section's view.
std::span<const NavigationSectionEntry> navigationTable();
const NavigationSectionEntry& navigationEntry(NavigationSection section);

QString navigationTitle(NavigationSection section); // localised
QString navigationSymbol(NavigationSection section);
QString navigationViewFile(NavigationSection section); // empty when the section has no view yet

// The sections whose capabilities exist in this build, in sidebar order. A section without its
// capability is not shown at all (never as a placeholder).
std::vector<NavigationSection> availableSections(const std::set<NavigationSection>& capabilities);
// What this build offers: the sections that have a view.
std::set<NavigationSection> builtCapabilities();

} // namespace kestrum
