#pragma once

// Shared by the fuzz targets: a broken property is a crash, so that libFuzzer keeps the input.

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kestrum::fuzz {

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

[[noreturn]] inline void propertyBroken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what) {
    if (!holds)
        propertyBroken(what);
}

} // namespace kestrum::fuzz
