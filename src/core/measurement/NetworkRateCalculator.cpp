#include "NetworkRateCalculator.h"

#include <cmath>

namespace kestrum::NetworkRateCalculator {

std::pair<double, double> bytesPerSecond(const NetworkByteCounter& current,
                                         const NetworkByteCounter& previous, double elapsedSeconds) {
    if (!(elapsedSeconds > 0) || std::isinf(elapsedSeconds))
        return {0, 0};
    const auto rate = [&](uint64_t now, uint64_t before) {
        return now >= before ? static_cast<double>(now - before) / elapsedSeconds : 0.0;
    };
    return {rate(current.receivedBytes, previous.receivedBytes), rate(current.sentBytes, previous.sentBytes)};
}

} // namespace kestrum::NetworkRateCalculator
