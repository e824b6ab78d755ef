#include "ProcessorComparison.h"

#include "foundation/Translatable.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace kestrum {

using Phase = ProcessorComparisonPhase;
using Reason = ProcessorComparisonInvalidReason;
using Result = ProcessorComparisonResult;

ProcessorComparisonResult ProcessorComparison::outcome(double before, double after) {
    // Means exactly 0.05 apart are similar: 0.55 − 0.5 must not read as 0.05000000000000004.
    constexpr double rounding = 1e-12;
    const double d = after - before;
    if (d < -kDifference - rounding)
        return Result::lower;
    if (d > kDifference + rounding)
        return Result::higher;
    return Result::similar;
}

bool ProcessorComparison::isActive() const {
    return phase == Phase::baseline || phase == Phase::awaitingAction || phase == Phase::measuring;
}

double ProcessorComparison::gapLimit() const {
    if (!context)
        return 10;
    return std::max(10.0, 2 * context->interval + 5);
}

void ProcessorComparison::start(QUuid newID, const std::optional<Context>& startContext, double tick) {
    *this = ProcessorComparison{};
    id = newID;
    const bool usable = std::isfinite(tick) && tick >= 0 && startContext && startContext->cores >= 1 &&
                        std::isfinite(startContext->interval) && startContext->interval >= 1 &&
                        startContext->interval <= 30;
    if (!usable) {
        phase = Phase::invalid;
        return;
    }
    context = startContext;
    phaseStart = tick;
    phase = Phase::baseline;
}

void ProcessorComparison::invalidate(Reason reason) {
    phase = Phase::invalid;
    invalidReason = reason;
    result.reset();
    baselineMean.reset();
    afterMean.reset();
}

void ProcessorComparison::checkFreshness(double tick) {
    if (!isActive())
        return;
    const double sinceLast = tick - lastTick.value_or(phaseStart);
    const bool fresh = std::isfinite(tick) && tick >= phaseStart && sinceLast <= gapLimit() &&
                       tick - phaseStart <= kMaximumPhaseSeconds;
    if (!fresh)
        invalidate(Reason::measurementGap);
}

bool ProcessorComparison::beginAfterWindow(double tick) {
    checkFreshness(tick);
    if (phase != Phase::awaitingAction)
        return false;
    phase = Phase::measuring;
    phaseStart = tick;
    total = 0;
    count = 0;
    firstSampleTick.reset();
    return true;
}

void ProcessorComparison::interrupt() {
    if (phase != Phase::idle && phase != Phase::invalid)
        invalidate(Reason::interrupted);
}

void ProcessorComparison::dismiss() {
    *this = ProcessorComparison{};
}

void ProcessorComparison::receive(const SystemSnapshot& snapshot, const Context& current, double started,
                                  double now, Date wallNow, bool thermalSignalOffered) {
    if (!isActive())
        return;
    checkFreshness(now);
    if (!isActive() || started < phaseStart)
        return;
    const bool thermalSteady = snapshot.thermal == ThermalLevel::nominal ||
                               (snapshot.thermal == ThermalLevel::unavailable && !thermalSignalOffered);
    if (!context || *context != current || !thermalSteady) {
        invalidate(Reason::conditionsChanged);
        return;
    }
    const double cpu = snapshot.cpu.totalUsage;
    const double limit = gapLimit();
    const double age = wallNow.secondsSince(snapshot.timestamp);
    const bool usable = snapshot.cpu.availability.isAvailable() && std::isfinite(cpu) && cpu >= 0 &&
                        cpu <= 1 && std::isfinite(started) && started <= now && now - started <= limit &&
                        std::isfinite(age) && age >= -2 && age <= limit;
    const bool isNew = (!lastID || *lastID != snapshot.id) && (!lastDate || snapshot.timestamp > *lastDate) &&
                       (!lastTick || now > *lastTick);
    if (!usable || !isNew) {
        invalidate(Reason::invalidSample);
        return;
    }
    lastID = snapshot.id;
    lastDate = snapshot.timestamp;
    lastTick = now;
    if (phase == Phase::awaitingAction)
        return;
    if (!firstSampleTick)
        firstSampleTick = now;
    total += cpu;
    count += 1;
    if (phase == Phase::baseline && count >= kMinimumSamples && now - *firstSampleTick >= kBaselineSeconds) {
        baselineMean = total / count;
        phase = Phase::awaitingAction;
        phaseStart = now;
    } else if (phase == Phase::measuring && count >= kMinimumSamples &&
               now - *firstSampleTick >= kAfterSeconds && baselineMean) {
        afterMean = total / count;
        result = outcome(*baselineMean, *afterMean);
        phase = Phase::finished;
    }
}

std::optional<QString> ProcessorComparison::nextStep() const {
    if (phase == Phase::finished && result) {
        if (*result == Result::lower)
            return trText("Azalma yalnız bu iki ölçüm penceresi için geçerli. Güncel gözlemi kontrol et; "
                          "yavaşlık sürüyorsa diğer belirtileri ayrı değerlendir. Bu sonuç onarım kanıtı "
                          "değildir.");
        return trText(
            "Etkinlik Monitörü’nde yoğun işi tekrar kontrol et. Yalnız tanıdığın işi kaydederek "
            "kendi uygulamasından duraklat; sistem işlemlerini zorla kapatma. Benzer koşullarda yeni "
            "bir karşılaştırma yapabilirsin.");
    }
    if (phase != Phase::invalid)
        return std::nullopt;
    switch (invalidReason.value_or(Reason::interrupted)) {
    case Reason::conditionsChanged:
        return trText("Güç, ölçüm aralığı veya sıcaklık koşulları değişti. Koşullar sabitlendikten sonra "
                      "yeniden ölç.");
    case Reason::invalidSample:
        return trText("Eski, yinelenen veya kullanılamayan ölçüm alındı. Güncel ölçümler geldikten sonra "
                      "yeniden dene.");
    case Reason::measurementGap:
        return trText("Yeni ölçümler zamanında gelmedi veya ölçüm süresi aşıldı. Canlı izlemeyi açık tut ve "
                      "yeni bir başlangıç ölçümü al.");
    case Reason::interrupted:
        break;
    }
    return trText("İzleme kesildi veya başka bir test başladı. Mac uyanıkken canlı izlemeyi aç, diğer testi "
                  "bitir ve yeniden ölç.");
}

std::optional<ProcessorComparisonRecord> ProcessorComparison::record(ProcessorComparisonAction action,
                                                                     Date savedAt) const {
    ProcessorComparisonRecord record;
    record.id = id;
    record.savedAt = savedAt;
    record.action = action;
    if (phase == Phase::finished && result && baselineMean && afterMean) {
        record.result = result;
        record.before = baselineMean;
        record.after = afterMean;
        return record;
    }
    if (phase == Phase::invalid) {
        // An invalid comparison without a reason was never started properly: it reads as interrupted.
        record.invalidReason = invalidReason.value_or(Reason::interrupted);
        return record;
    }
    return std::nullopt;
}

bool ProcessorComparisonRecord::isConsistent() const {
    if (invalidReason)
        return !result && !before && !after;
    if (!result || !before || !after)
        return false;
    const auto inUnit = [](double v) { return std::isfinite(v) && v >= 0 && v <= 1; };
    return inUnit(*before) && inUnit(*after) && *result == ProcessorComparison::outcome(*before, *after);
}

std::vector<ProcessorComparisonRecord>
ProcessorComparisonRecord::retained(const std::vector<ProcessorComparisonRecord>& records, Date cutoff,
                                    Date now) {
    std::vector<const ProcessorComparisonRecord*> kept;
    for (const ProcessorComparisonRecord& record : records) {
        const double saved = record.savedAt.secondsSinceReferenceDate;
        if (std::isfinite(saved) && record.savedAt >= cutoff && record.savedAt <= now &&
            record.isConsistent())
            kept.push_back(&record);
    }
    // Newest first; the newest copy of an id stays.
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto* a, const auto* b) { return a->savedAt > b->savedAt; });
    std::vector<const ProcessorComparisonRecord*> unique;
    QSet<QUuid> seen;
    for (const ProcessorComparisonRecord* record : kept) {
        if (seen.contains(record->id))
            continue;
        seen.insert(record->id);
        unique.push_back(record);
        if (unique.size() == kRetainedCount)
            break;
    }
    std::vector<ProcessorComparisonRecord> out;
    out.reserve(unique.size());
    for (auto it = unique.rbegin(); it != unique.rend(); ++it)
        out.push_back(**it);
    return out;
}

} // namespace kestrum
