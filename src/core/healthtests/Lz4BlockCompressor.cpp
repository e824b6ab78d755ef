#include "Lz4BlockCompressor.h"

#include <limits>
#include <lz4.h>

namespace kestrum::Lz4BlockCompressor {

QString encoderName() {
    return QStringLiteral("lz4");
}

size_t compress(const unsigned char* source, size_t sourceBytes, unsigned char* destination,
                size_t destinationCapacity) {
    constexpr size_t kLargest = static_cast<size_t>(std::numeric_limits<int>::max());
    if (sourceBytes > static_cast<size_t>(LZ4_MAX_INPUT_SIZE) || destinationCapacity > kLargest)
        return 0;
    const int written =
        LZ4_compress_default(reinterpret_cast<const char*>(source), reinterpret_cast<char*>(destination),
                             static_cast<int>(sourceBytes), static_cast<int>(destinationCapacity));
    return written > 0 ? static_cast<size_t>(written) : 0;
}

} // namespace kestrum::Lz4BlockCompressor
