#pragma once

#include <QString>
#include <cstddef>

namespace kestrum {

// The benchmark's block encoder: LZ4 at its default level, one whole block per call into a caller-owned
// buffer. LZ4 stands in for the platform LZFSE encoder the rates would otherwise come from, so results
// name their encoder and are compared only with results of the same one.
namespace Lz4BlockCompressor {
QString encoderName(); // "lz4"
// Compressed size, or 0 when the output did not fit or the input was refused.
size_t compress(const unsigned char* source, size_t sourceBytes, unsigned char* destination,
                size_t destinationCapacity);
} // namespace Lz4BlockCompressor

} // namespace kestrum
