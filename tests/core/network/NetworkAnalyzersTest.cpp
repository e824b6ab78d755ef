#include "TestSupport.h"
#include "network/NetworkJson.h"
#include "network/NetworkQualityAnalyzer.h"
#include "network/NetworkSpeedAdaptiveSizer.h"
#include "network/NetworkSpeedResultAnalyzer.h"
#include "network/NetworkTestErrors.h"

#include <QJsonObject>
#include <gtest/gtest.h>
#include <thread>

using namespace kestrum;

namespace {

std::vector<std::optional<double>> outcomes(std::initializer_list<double> ok, int failed) {
    std::vector<std::optional<double>> out(ok.begin(), ok.end());
    for (int i = 0; i < failed; ++i)
        out.push_back(std::nullopt);
    return out;
}

} // namespace

TEST(NetworkQualityAnalyzer, GradesByRatioMedianAndJitter) {
    struct Case {
        const char* name;
        std::vector<std::optional<double>> probes;
        NetworkQualityLevel level;
        double median;
        double jitter;
        int successful;
    };
    const Case cases[] = {
        {"all five fast and steady", outcomes({20, 22, 21, 25, 23}, 0), NetworkQualityLevel::excellent, 22, 1,
         5},
        {"median at the excellent limit", outcomes({80, 80, 80, 80, 80}, 0), NetworkQualityLevel::good, 80, 0,
         5},
        {"four of five", outcomes({90, 100, 110, 100}, 1), NetworkQualityLevel::good, 100, 5, 4},
        {"three of five", outcomes({300, 290, 310}, 2), NetworkQualityLevel::fair, 300, 10, 3},
        {"two of five whatever the times", outcomes({10, 10}, 3), NetworkQualityLevel::poor, 10, 0, 2},
        {"one of five", outcomes({90}, 4), NetworkQualityLevel::poor, 90, 0, 1},
        {"all present but jittery", outcomes({10, 200, 10, 200, 10, 200}, 0), NetworkQualityLevel::fair, 105,
         95, 6},
        {"slow but complete", outcomes({400, 400, 400}, 0), NetworkQualityLevel::poor, 400, 0, 3},
    };
    const NetworkQualityAnalyzer analyzer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = analyzer.makeResult(12.5, c.probes, Date{1}, QUuid::createUuid());
        EXPECT_EQ(r.quality, c.level);
        EXPECT_DOUBLE_EQ(r.medianResponseMilliseconds, c.median);
        EXPECT_DOUBLE_EQ(r.jitterMilliseconds, c.jitter);
        EXPECT_EQ(r.successfulProbes, c.successful);
        EXPECT_EQ(r.attemptedProbes, int(c.probes.size()));
        EXPECT_DOUBLE_EQ(r.dnsResolutionMilliseconds, 12.5);
    }
}

TEST(NetworkQualityAnalyzer, NoValidProbeIsUnreachableAndNegativesAreDropped) {
    const NetworkQualityAnalyzer analyzer;
    for (const auto& probes :
         {outcomes({}, 5), std::vector<std::optional<double>>{-1.0, std::nan(""), std::nullopt}}) {
        try {
            analyzer.makeResult(1, probes, Date{1}, QUuid::createUuid());
            ADD_FAILURE() << "expected the unreachable error";
        } catch (const KestrumError& error) {
            EXPECT_EQ(qualityTestErrorCase(error), NetworkQualityTestError::internetUnreachable);
            EXPECT_EQ(error.description(), QStringLiteral("Güvenli internet bağlantısı doğrulanamadı."));
        }
    }
    const auto r = analyzer.makeResult(-3, {-5.0, 40.0}, Date{1}, QUuid::createUuid());
    EXPECT_EQ(r.successfulProbes, 1);
    EXPECT_DOUBLE_EQ(r.dnsResolutionMilliseconds, 0);
}

TEST(NetworkAnalyzers, PercentileAndMedianTables) {
    const NetworkQualityAnalyzer quality;
    const NetworkSpeedResultAnalyzer speed;
    struct Case {
        std::vector<double> values;
        double p;
        double percentile;
        double median;
    };
    const Case cases[] = {
        {{7}, 0.5, 7, 7},
        {{4, 1}, 0.5, 2.5, 2.5},
        {{3, 1, 2}, 0.5, 2, 2},
        {{1, 2, 3, 4}, 0.5, 2.5, 2.5},
        {{1, 2, 3, 4}, 0.25, 1.75, 2.5},
        {{1, 2, 3, 4}, 2.0, 4, 2.5},
        {{1, 2, 3, 4}, -1.0, 1, 2.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(quality.percentile(c.values, c.p), c.percentile);
        EXPECT_DOUBLE_EQ(speed.median(c.values), c.median);
    }
    EXPECT_DOUBLE_EQ(speed.median({}), 0);
}

TEST(NetworkSpeedAdaptiveSizer, InitialAndNextSizesStayInsideThePlan) {
    const NetworkSpeedAdaptiveSizer sizer;
    const auto quick = NetworkSpeedTestPlan::make(NetworkSpeedTestMode::quick);
    const auto down = NetworkSpeedTransferDirection::download;
    const auto up = NetworkSpeedTransferDirection::upload;
    struct Initial {
        NetworkSpeedTransferMeasurement seed;
        NetworkSpeedTransferDirection direction;
        int64_t expected;
    };
    const Initial initial[] = {
        {{1'000'000, 0}, down, 250'000},          // a warm-up of 0 s
        {{0, 1}, down, 250'000},                  // nothing moved
        {{1'000'000, std::nan("")}, up, 125'000}, // no usable duration
        {{1'000'000, 1.0}, down, 250'000},        // 8 Mbit/s: 62,500 per stream, raised to the minimum
        {{100'000'000, 1.0}, down, 1'000'000},    // 800 Mbit/s: capped at the initial maximum
        {{100'000'000, 1.0}, up, 2'000'000},
        {{16'000'000, 1.0}, down, 1'000'000}, // 128 Mbit/s → 1,000,000 exactly
        {{8'000'000, 1.0}, up, 500'000},      // 64 Mbit/s
    };
    for (const Initial& c : initial)
        EXPECT_EQ(sizer.initialBytesPerStream(c.seed, quick, c.direction), c.expected);

    struct Next {
        NetworkSpeedTransferMeasurement round;
        int64_t used;
        NetworkSpeedTransferDirection direction;
        int64_t expected;
    };
    const Next next[] = {
        {{16 * 125'000, 0.01}, 125'000, up, 1'000'000},       // a fast line grows at most eightfold
        {{16 * 1'000'000, 0.01}, 1'000'000, up, 5'000'000},   // and never beyond the upload maximum
        {{16 * 1'000'000, 0.01}, 1'000'000, down, 1'000'000}, // nor the download maximum
        {{16 * 500'000, 100.0}, 500'000, up, 500'000},        // a slow round never shrinks the size
        {{0, 1.0}, 300'000, down, 300'000},                   // an empty round keeps it
    };
    for (const Next& c : next)
        EXPECT_EQ(sizer.nextBytesPerStream(c.round, c.used, quick, c.direction), c.expected);
}

TEST(NetworkSpeedTransferBudget, ReservesAtomicallyAndNeverGivesBack) {
    NetworkSpeedTransferBudget budget(1000);
    EXPECT_FALSE(budget.reserve(0));
    EXPECT_TRUE(budget.reserve(600));
    EXPECT_FALSE(budget.reserve(401));
    EXPECT_TRUE(budget.reserve(400));
    EXPECT_EQ(budget.remainingBytes(), 0);
    EXPECT_EQ(NetworkSpeedTransferBudget(-5).remainingBytes(), 0);

    // Many threads racing for one budget never take more than it holds.
    NetworkSpeedTransferBudget shared(1'000'000);
    std::atomic<int64_t> granted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                if (shared.reserve(97))
                    granted += 97;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_LE(granted.load(), 1'000'000);
    EXPECT_GT(granted.load(), 1'000'000 - 97);
}

TEST(NetworkSpeedResultAnalyzer, AssemblesRatesBytesAndConfidence) {
    const NetworkSpeedResultAnalyzer analyzer;
    const auto direction = [](std::vector<NetworkSpeedTransferMeasurement> rounds, int streams,
                              std::optional<double> latency) {
        NetworkSpeedDirectionResult d;
        d.rounds = rounds;
        const size_t stable = std::min<size_t>(3, rounds.size());
        d.stableRounds.assign(rounds.end() - std::ptrdiff_t(stable), rounds.end());
        for (const auto& r : rounds) {
            d.transferredBytes += r.byteCount;
            d.elapsedSeconds += r.durationSeconds;
        }
        d.parallelStreamCount = streams;
        d.loadedLatencyMilliseconds = latency;
        return d;
    };
    NetworkSpeedResultAnalyzer::Inputs in;
    in.mode = NetworkSpeedTestMode::comprehensive;
    // The first round is slow; the last three are stable: 80, 100 and 120 Mbit/s.
    in.download = direction({{1'000'000, 1}, {10'000'000, 1}, {12'500'000, 1}, {15'000'000, 1}}, 16, 30.0);
    in.upload = direction({{1'250'000, 1}, {2'500'000, 1}, {3'750'000, 1}}, 16, std::nullopt);
    in.idleLatencySamples = {10, 30, 20, 40};
    in.durationSeconds = 12;
    const NetworkSpeedTestResult r = analyzer.makeResult(in);
    EXPECT_DOUBLE_EQ(r.downloadMegabitsPerSecond, 100);
    EXPECT_DOUBLE_EQ(r.uploadMegabitsPerSecond, 20);
    EXPECT_EQ(r.transferredBytes, 38'500'000 + 7'500'000 + 1'250'000);
    EXPECT_EQ(r.idleLatencyMilliseconds, 25.0);
    EXPECT_EQ(r.downloadLoadedLatencyMilliseconds, 30.0);
    EXPECT_FALSE(r.uploadLoadedLatencyMilliseconds);
    EXPECT_EQ(r.measurementSampleCount, 6);
    EXPECT_EQ(r.parallelStreamCount, 16);
    EXPECT_EQ(r.confidence, NetworkSpeedTestConfidence::high);
    EXPECT_EQ(r.providerName, QStringLiteral("Cloudflare"));

    struct Case {
        NetworkSpeedTestMode mode;
        size_t downloadRounds, uploadRounds;
        int streams;
        NetworkSpeedTestConfidence expected;
    };
    const Case cases[] = {
        {NetworkSpeedTestMode::comprehensive, 3, 3, 15, NetworkSpeedTestConfidence::good},
        {NetworkSpeedTestMode::quick, 3, 3, 16, NetworkSpeedTestConfidence::good},
        {NetworkSpeedTestMode::quick, 2, 2, 16, NetworkSpeedTestConfidence::good},
        {NetworkSpeedTestMode::quick, 2, 1, 16, NetworkSpeedTestConfidence::estimate},
    };
    for (const Case& c : cases) {
        NetworkSpeedResultAnalyzer::Inputs i;
        i.mode = c.mode;
        i.download = direction(std::vector<NetworkSpeedTransferMeasurement>(c.downloadRounds, {1'000'000, 1}),
                               c.streams, {});
        i.upload =
            direction(std::vector<NetworkSpeedTransferMeasurement>(c.uploadRounds, {1'000'000, 1}), 16, {});
        EXPECT_EQ(analyzer.makeResult(i).confidence, c.expected);
        EXPECT_EQ(analyzer.makeResult(i).parallelStreamCount, std::min(c.streams, 16));
    }

    NetworkSpeedResultAnalyzer::Inputs empty;
    empty.download = direction({{0, 1}}, 16, {});
    empty.upload = direction({{1, 1}}, 16, {});
    try {
        analyzer.makeResult(empty);
        ADD_FAILURE() << "a direction without a usable round cannot be assembled";
    } catch (const NetworkSpeedResultAssemblyFailure& failure) {
        EXPECT_EQ(failure.error, NetworkSpeedResultError::missingDownloadMeasurement);
    }
}

TEST(NetworkJson, OldSpeedRecordsDecodeAndAbsentOptionalsAreOmitted) {
    const QJsonObject old{{"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
                          {"timestamp", 700000000.0},
                          {"downloadMegabitsPerSecond", 93.5},
                          {"uploadMegabitsPerSecond", 12.0},
                          {"transferredBytes", 5000000},
                          {"durationSeconds", 9.5},
                          {"providerName", "Cloudflare"}};
    const NetworkSpeedTestResult r = networkSpeedTestResultFromJson(old);
    EXPECT_FALSE(r.mode);
    EXPECT_FALSE(r.confidence);
    EXPECT_FALSE(r.parallelStreamCount);
    EXPECT_EQ(networkSpeedTestResultToJson(r).toObject(), old);
    QJsonObject missing = old;
    missing.remove(QStringLiteral("providerName"));
    EXPECT_THROW(networkSpeedTestResultFromJson(missing), KestrumError);

    NetworkQualityResult q{QUuid::createUuid(), Date{5}, NetworkQualityLevel::fair, 4, 120, 8, 5, 3};
    EXPECT_EQ(networkQualityResultFromJson(networkQualityResultToJson(q)), q);
    QJsonObject bad = networkQualityResultToJson(q).toObject();
    bad.insert(QStringLiteral("quality"), QStringLiteral("superb"));
    EXPECT_THROW(networkQualityResultFromJson(bad), KestrumError);
}
