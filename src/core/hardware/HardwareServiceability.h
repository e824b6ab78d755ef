#pragma once

#include "foundation/EnumTraits.h"

#include <QString>

namespace kestrum {

// Who can replace a component. Only `replaceableByUser` carries a specification (what fits).
struct ComponentServiceability {
    enum class Case {
        replaceableByUser,
        replaceableByService,
        logicBoardIntegrated,
        notReplaceable,
        unknown
    };
    Case kind = Case::unknown;
    QString specification;

    static ComponentServiceability replaceableByUser(QString specification) {
        return {Case::replaceableByUser, std::move(specification)};
    }
    static ComponentServiceability replaceableByService() { return {Case::replaceableByService, {}}; }
    static ComponentServiceability logicBoardIntegrated() { return {Case::logicBoardIntegrated, {}}; }
    static ComponentServiceability notReplaceable() { return {Case::notReplaceable, {}}; }
    static ComponentServiceability unknown() { return {Case::unknown, {}}; }
    bool operator==(const ComponentServiceability&) const = default;
};

template <> struct EnumTraits<ComponentServiceability::Case> {
    using C = ComponentServiceability::Case;
    static constexpr std::pair<C, std::string_view> cases[] = {
        {C::replaceableByUser, "replaceableByUser"},
        {C::replaceableByService, "replaceableByService"},
        {C::logicBoardIntegrated, "logicBoardIntegrated"},
        {C::notReplaceable, "notReplaceable"},
        {C::unknown, "unknown"},
    };
};

struct MemoryArchitecture {
    enum class Case { replaceable, unifiedLogicBoard, unknown };
    Case kind = Case::unknown;
    QString specification; // only for `replaceable`

    static MemoryArchitecture replaceable(QString specification) {
        return {Case::replaceable, std::move(specification)};
    }
    static MemoryArchitecture unifiedLogicBoard() { return {Case::unifiedLogicBoard, {}}; }
    static MemoryArchitecture unknown() { return {Case::unknown, {}}; }
    bool operator==(const MemoryArchitecture&) const = default;
};

template <> struct EnumTraits<MemoryArchitecture::Case> {
    using C = MemoryArchitecture::Case;
    static constexpr std::pair<C, std::string_view> cases[] = {{C::replaceable, "replaceable"},
                                                               {C::unifiedLogicBoard, "unifiedLogicBoard"},
                                                               {C::unknown, "unknown"}};
};

struct StorageArchitecture {
    enum class Case { replaceable, logicBoardIntegrated, unknown };
    Case kind = Case::unknown;
    QString specification; // only for `replaceable`

    static StorageArchitecture replaceable(QString specification) {
        return {Case::replaceable, std::move(specification)};
    }
    static StorageArchitecture logicBoardIntegrated() { return {Case::logicBoardIntegrated, {}}; }
    static StorageArchitecture unknown() { return {Case::unknown, {}}; }
    bool operator==(const StorageArchitecture&) const = default;
};

template <> struct EnumTraits<StorageArchitecture::Case> {
    using C = StorageArchitecture::Case;
    static constexpr std::pair<C, std::string_view> cases[] = {
        {C::replaceable, "replaceable"},
        {C::logicBoardIntegrated, "logicBoardIntegrated"},
        {C::unknown, "unknown"}};
};

} // namespace kestrum
