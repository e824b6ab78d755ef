#pragma once

#include "foundation/EnumTraits.h"
#include "foundation/KestrumError.h"

namespace kestrum {

enum class NetworkSpeedTestError {
    invalidEndpoint,
    downloadFailed,
    uploadFailed,
    providerLimited,
    transferLimitReached
};
enum class NetworkQualityTestError { dnsResolutionFailed, internetUnreachable, invalidEndpoint };

template <> struct EnumTraits<NetworkSpeedTestError> {
    static constexpr std::pair<NetworkSpeedTestError, std::string_view> cases[] = {
        {NetworkSpeedTestError::invalidEndpoint, "invalidEndpoint"},
        {NetworkSpeedTestError::downloadFailed, "downloadFailed"},
        {NetworkSpeedTestError::uploadFailed, "uploadFailed"},
        {NetworkSpeedTestError::providerLimited, "providerLimited"},
        {NetworkSpeedTestError::transferLimitReached, "transferLimitReached"},
    };
};

template <> struct EnumTraits<NetworkQualityTestError> {
    static constexpr std::pair<NetworkQualityTestError, std::string_view> cases[] = {
        {NetworkQualityTestError::dnsResolutionFailed, "dnsResolutionFailed"},
        {NetworkQualityTestError::internetUnreachable, "internetUnreachable"},
        {NetworkQualityTestError::invalidEndpoint, "invalidEndpoint"},
    };
};

QString description(NetworkSpeedTestError error);
QString description(NetworkQualityTestError error);

// The error as thrown: its code is "networkSpeed.<case>" / "networkQuality.<case>".
KestrumError makeError(NetworkSpeedTestError error);
KestrumError makeError(NetworkQualityTestError error);

// The case of a thrown error of that family, absent for any other error.
std::optional<NetworkSpeedTestError> speedTestErrorCase(const KestrumError& error);
std::optional<NetworkQualityTestError> qualityTestErrorCase(const KestrumError& error);

} // namespace kestrum
