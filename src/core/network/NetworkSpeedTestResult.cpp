#include "NetworkSpeedTestResult.h"

#include "NetworkQualityResult.h"
#include "foundation/Translatable.h"

namespace kestrum {

QString modeTitle(NetworkSpeedTestMode mode) {
    return mode == NetworkSpeedTestMode::quick ? trText("Hızlı") : trText("Kapsamlı");
}

QString modeDescription(NetworkSpeedTestMode mode) {
    return mode == NetworkSpeedTestMode::quick
               ? trText("16 küçük paralel akışla kısa kapasite tahmini · yaklaşık 8–12 sn · en fazla 155 MB")
               : trText("16 küçük paralel akışla daha uzun ve kararlı ölçüm · yaklaşık 15–25 sn · en fazla "
                        "185 MB");
}

QString modeDataCeiling(NetworkSpeedTestMode mode) {
    return mode == NetworkSpeedTestMode::quick ? trText("yaklaşık 155 MB") : trText("yaklaşık 185 MB");
}

QString qualityLevelTitle(NetworkQualityLevel level) {
    switch (level) {
    case NetworkQualityLevel::excellent:
        return trText("Çok iyi");
    case NetworkQualityLevel::good:
        return trText("İyi");
    case NetworkQualityLevel::fair:
        return trText("Orta");
    case NetworkQualityLevel::poor:
        return trText("Zayıf");
    }
    return {};
}

} // namespace kestrum
