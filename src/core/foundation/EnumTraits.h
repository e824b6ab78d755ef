#pragma once

#include <QString>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace kestrum {

// Persisted enumerations specialise this with their cases in declaration order and raw texts:
//   template<> struct EnumTraits<ThermalLevel> {
//       static constexpr std::pair<ThermalLevel, std::string_view> cases[] = {...};
//   };
template <class E> struct EnumTraits;

template <class E>
concept RawRepresentable = requires {
    EnumTraits<E>::cases;
};

template <RawRepresentable E> QString rawValue(E value) {
    for (const auto& [candidate, raw] : EnumTraits<E>::cases) {
        if (candidate == value)
            return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
    }
    return {};
}

// Unknown raw text is absent; decoders turn that into a decoding error.
template <RawRepresentable E> std::optional<E> fromRawValue(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view wanted(utf8.constData(), static_cast<size_t>(utf8.size()));
    for (const auto& [candidate, raw] : EnumTraits<E>::cases) {
        if (raw == wanted)
            return candidate;
    }
    return std::nullopt;
}

template <RawRepresentable E> constexpr auto allCases() {
    constexpr auto count = std::size(EnumTraits<E>::cases);
    std::array<E, count> out{};
    for (size_t i = 0; i < count; ++i)
        out[i] = EnumTraits<E>::cases[i].first;
    return out;
}

// Position in declaration order, for stable sorts.
template <RawRepresentable E> constexpr int declarationIndex(E value) {
    int i = 0;
    for (const auto& entry : EnumTraits<E>::cases) {
        if (entry.first == value)
            return i;
        ++i;
    }
    return i;
}

} // namespace kestrum
