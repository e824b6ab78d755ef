#include "CurlNetworkSpeedTester.h"

#include "CurlHTTPClient.h"
#include "NetworkLogging.h"
#include "NetworkTestErrors.h"
#include "foundation/Uuid.h"

#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <qcoro/qcorofuture.h>

namespace kestrum {

namespace {

bool isSecure(const QUrl& url) {
    return url.isValid() && url.scheme().toLower() == u"https" && !url.host().isEmpty();
}

const char* directionText(NetworkSpeedTransferDirection direction) {
    return direction == NetworkSpeedTransferDirection::download ? "download" : "upload";
}

NetworkSpeedTestError directionFailure(NetworkSpeedTransferDirection direction) {
    return direction == NetworkSpeedTransferDirection::download ? NetworkSpeedTestError::downloadFailed
                                                                : NetworkSpeedTestError::uploadFailed;
}

// Every stream of a round plus the concurrent latency probe run at once.
constexpr int kSessionTransferSlots = 17;

} // namespace

struct CurlNetworkSpeedTester::Run {
    std::shared_ptr<HTTPTransporting> session;
    std::stop_token stop;
    NetworkSpeedTestPlan plan;
    NetworkSpeedProgressHandler progressHandler;
    NetworkSpeedTestProgress progress;
    double start = 0;

    void checkCancellation() const {
        if (stop.stop_requested())
            throw CancellationError();
    }
};

CurlNetworkSpeedTester::CurlNetworkSpeedTester(QUrl downloadEndpoint, QUrl uploadEndpoint)
    : CurlNetworkSpeedTester(std::move(downloadEndpoint), std::move(uploadEndpoint), Options{}) {}

CurlNetworkSpeedTester::CurlNetworkSpeedTester(QUrl downloadEndpoint, QUrl uploadEndpoint, Options options,
                                               NetworkSpeedResultAnalyzer analyzer,
                                               NetworkSpeedAdaptiveSizer adaptiveSizer)
    : m_downloadEndpoint(std::move(downloadEndpoint)), m_uploadEndpoint(std::move(uploadEndpoint)),
      m_options(std::move(options)), m_analyzer(analyzer), m_adaptiveSizer(adaptiveSizer) {
    if (!m_options.sessionFactory) {
        m_options.sessionFactory = [caBundleFile = m_options.caBundleFile] {
            CurlHTTPClient::Configuration configuration;
            configuration.caBundleFile = caBundleFile;
            configuration.maximumConcurrentTransfers = kSessionTransferSlots;
            return std::make_shared<CurlHTTPClient>(configuration);
        };
    }
    if (!m_options.uptime)
        m_options.uptime = systemMonotonicClock();
    if (!m_options.sleeper)
        m_options.sleeper = systemAsyncSleeper();
    if (!m_options.dateProvider)
        m_options.dateProvider = systemDateProvider();
    if (!m_options.idProvider)
        m_options.idProvider = newUuid;
}

CurlNetworkSpeedTester::~CurlNetworkSpeedTester() {
    if (m_runStop)
        m_runStop->request_stop();
}

QCoro::Task<NetworkSpeedTestResult> CurlNetworkSpeedTester::run(NetworkSpeedTestMode mode,
                                                                std::stop_token stop,
                                                                NetworkSpeedProgressHandler progress) {
    if (!isSecure(m_downloadEndpoint) || !isSecure(m_uploadEndpoint))
        throw makeError(NetworkSpeedTestError::invalidEndpoint);

    // A fresh session; whatever an earlier run still has in flight is cancelled with it.
    if (m_runStop)
        m_runStop->request_stop();
    auto runStop = std::make_shared<std::stop_source>();
    m_runStop = runStop;
    std::stop_callback forwardStop(stop, [runStop] { runStop->request_stop(); });
    m_session = m_options.sessionFactory();

    Run run;
    run.session = m_session;
    run.stop = runStop->get_token();
    run.plan = NetworkSpeedTestPlan::make(mode);
    run.progressHandler = std::move(progress);
    run.progress.mode = mode;
    run.start = m_options.uptime();
    const auto report = [&] {
        run.progress.elapsedSeconds = std::max(0.0, m_options.uptime() - run.start);
        if (run.progressHandler)
            run.progressHandler(run.progress);
    };
    report();

    const NetworkSpeedTransferMeasurement downloadSeed =
        co_await singleTransfer(run, NetworkSpeedTransferDirection::download, run.plan.warmupBytes.download);
    const NetworkSpeedTransferMeasurement uploadSeed =
        co_await singleTransfer(run, NetworkSpeedTransferDirection::upload, run.plan.warmupBytes.upload);

    run.progress.phase = NetworkSpeedTestProgress::Phase::idleLatency;
    report();
    const std::vector<double> idleSamples =
        co_await bestEffortLatencySamples(run, run.plan.idleLatencySampleCount, run.stop);
    run.checkCancellation();

    NetworkSpeedResultAnalyzer::Inputs inputs;
    inputs.download = co_await measureDirection(run, NetworkSpeedTransferDirection::download, downloadSeed);
    inputs.upload = co_await measureDirection(run, NetworkSpeedTransferDirection::upload, uploadSeed);
    run.checkCancellation();
    inputs.mode = mode;
    inputs.idleLatencySamples = idleSamples;
    inputs.durationSeconds = m_options.uptime() - run.start;
    inputs.id = m_options.idProvider();
    inputs.timestamp = m_options.dateProvider();
    try {
        co_return m_analyzer.makeResult(inputs);
    } catch (const NetworkSpeedResultAssemblyFailure& failure) {
        throw makeError(failure.error == NetworkSpeedResultError::missingDownloadMeasurement
                            ? NetworkSpeedTestError::downloadFailed
                            : NetworkSpeedTestError::uploadFailed);
    }
}

QCoro::Task<NetworkSpeedTransferMeasurement>
CurlNetworkSpeedTester::singleTransfer(Run& run, NetworkSpeedTransferDirection direction, int64_t bytes) {
    const int attempts = std::max(1, run.plan.maximumAttempts);
    NetworkSpeedTransferBudget budget(bytes * attempts);
    const double t0 = m_options.uptime();
    const int64_t moved = co_await transferPayloadWithRetry(run, direction, bytes, attempts, budget);
    co_return NetworkSpeedTransferMeasurement{moved, std::max(0.0, m_options.uptime() - t0)};
}

QCoro::Task<NetworkSpeedDirectionResult>
CurlNetworkSpeedTester::measureDirection(Run& run, NetworkSpeedTransferDirection direction,
                                         NetworkSpeedTransferMeasurement seed) {
    const NetworkSpeedTestPlan& plan = run.plan;
    NetworkSpeedTransferBudget budget(plan.transferBudgetBytes.of(direction));
    const int streams = plan.parallelStreamCount;
    int64_t size = m_adaptiveSizer.initialBytesPerStream(seed, plan, direction);

    std::vector<NetworkSpeedTransferMeasurement> rounds;
    std::vector<double> latencies;
    std::vector<int> streamCounts;
    int64_t bytes = 0;
    double elapsed = 0;

    run.progress.phase = NetworkSpeedTestProgress::Phase::measuring;
    run.progress.direction = direction;
    run.progress.round = 0;
    run.progress.maximumRounds = plan.maximumRounds;
    run.progress.currentMegabitsPerSecond.reset();
    run.progress.directionBudgetBytes = budget.initialBytes();
    run.progress.directionBytesUsed = 0;
    if (run.progressHandler) {
        run.progress.elapsedSeconds = std::max(0.0, m_options.uptime() - run.start);
        run.progressHandler(run.progress);
    }

    while (plan.maximumRounds >= 1) {
        run.checkCancellation();
        const int64_t perStream = streams > 0 ? budget.remainingBytes() / streams : 0;
        if (perStream < plan.minimumBytesPerStream.of(direction))
            break;
        const int64_t used = std::min(perStream, size);
        std::exception_ptr failure;
        NetworkSpeedParallelRoundResult round;
        try {
            round = co_await measureParallelRound(run, direction, used, budget);
        } catch (const CancellationError&) {
            throw;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            if (rounds.size() < 2)
                std::rethrow_exception(failure);
            qCInfo(lcNetworkSpeed,
                   "Direction ended with valid earlier rounds: direction=%s rounds=%ld error=%s",
                   directionText(direction), long(rounds.size()), qUtf8Printable(describeException(failure)));
            break;
        }
        const NetworkSpeedTransferMeasurement measurement{round.byteCount, round.durationSeconds};
        rounds.push_back(measurement);
        latencies.insert(latencies.end(), round.latencySamples.begin(), round.latencySamples.end());
        streamCounts.push_back(round.successfulStreamCount);
        bytes += round.byteCount;
        elapsed += round.durationSeconds;
        size = m_adaptiveSizer.nextBytesPerStream(measurement, used, plan, direction);

        run.progress.round = int(rounds.size());
        run.progress.currentMegabitsPerSecond.reset();
        if (round.durationSeconds > 0 && round.byteCount > 0)
            run.progress.currentMegabitsPerSecond =
                double(round.byteCount) * 8.0 / round.durationSeconds / 1e6;
        run.progress.directionBytesUsed = budget.initialBytes() - budget.remainingBytes();
        if (run.progressHandler) {
            run.progress.elapsedSeconds = std::max(0.0, m_options.uptime() - run.start);
            run.progressHandler(run.progress);
        }

        const int count = int(rounds.size());
        if (!(count < plan.maximumRounds &&
              (count < plan.minimumRounds || elapsed < plan.minimumDirectionSeconds)))
            break;
    }

    if (rounds.empty())
        throw makeError(directionFailure(direction));
    NetworkSpeedDirectionResult result;
    result.rounds = rounds;
    const size_t stable = std::min<size_t>(3, rounds.size());
    result.stableRounds.assign(rounds.end() - std::ptrdiff_t(stable), rounds.end());
    result.transferredBytes = bytes;
    result.elapsedSeconds = elapsed;
    if (!latencies.empty())
        result.loadedLatencyMilliseconds = m_analyzer.median(latencies);
    result.parallelStreamCount =
        streamCounts.empty() ? streams : *std::min_element(streamCounts.begin(), streamCounts.end());
    co_return result;
}

QCoro::Task<NetworkSpeedParallelRoundResult>
CurlNetworkSpeedTester::measureParallelRound(Run& run, NetworkSpeedTransferDirection direction,
                                             int64_t bytesPerStream, NetworkSpeedTransferBudget& budget) {
    const int streams = run.plan.parallelStreamCount;
    const double t0 = m_options.uptime();
    // The probes end with the round when it fails; they also end with the run.
    std::stop_source probeStop;
    std::stop_callback forwardStop(run.stop, [&probeStop] { probeStop.request_stop(); });
    QCoro::Task<std::vector<double>> probes =
        bestEffortLatencySamples(run, run.plan.loadedLatencySampleCount, probeStop.get_token());

    std::vector<QCoro::Task<NetworkSpeedStreamResult>> tasks;
    tasks.reserve(size_t(std::max(0, streams)));
    for (int i = 0; i < streams; ++i)
        tasks.push_back(stream(run, direction, bytesPerStream, budget));
    std::vector<NetworkSpeedStreamResult> results;
    bool cancelled = false;
    for (auto& task : tasks) {
        try {
            results.push_back(co_await std::move(task));
        } catch (const CancellationError&) {
            cancelled = true;
        }
    }
    const double t1 = m_options.uptime();

    int64_t byteCount = 0;
    int successful = 0;
    int limited = 0;
    for (const auto& result : results) {
        byteCount += result.byteCount;
        successful += result.byteCount >= 1 ? 1 : 0;
        limited += result.providerLimited ? 1 : 0;
    }
    const int required = std::max(1, int(std::ceil(0.75 * streams)));
    if (cancelled || successful < required)
        probeStop.request_stop();
    std::vector<double> samples = co_await std::move(probes);
    if (cancelled)
        throw CancellationError();
    if (successful < required) {
        qCCritical(
            lcNetworkSpeed,
            "Parallel round failed: direction=%s successful=%ld required=%ld limited=%ld bytesPerStream=%ld",
            directionText(direction), long(successful), long(required), long(limited), long(bytesPerStream));
        throw makeError(limited >= 1 ? NetworkSpeedTestError::providerLimited : directionFailure(direction));
    }
    NetworkSpeedParallelRoundResult round;
    round.byteCount = byteCount;
    round.latencySamples = std::move(samples);
    round.successfulStreamCount = successful;
    round.durationSeconds = std::max(0.0, t1 - t0);
    co_return round;
}

QCoro::Task<NetworkSpeedStreamResult> CurlNetworkSpeedTester::stream(Run& run,
                                                                     NetworkSpeedTransferDirection direction,
                                                                     int64_t bytes,
                                                                     NetworkSpeedTransferBudget& budget) {
    try {
        const int64_t moved =
            co_await transferPayloadWithRetry(run, direction, bytes, run.plan.maximumAttempts, budget);
        co_return NetworkSpeedStreamResult{moved, false};
    } catch (const CancellationError&) {
        throw;
    } catch (const KestrumError& error) {
        co_return NetworkSpeedStreamResult{0, speedTestErrorCase(error) ==
                                                  NetworkSpeedTestError::providerLimited};
    }
}

QCoro::Task<std::vector<double>> CurlNetworkSpeedTester::bestEffortLatencySamples(Run& run, int count,
                                                                                  std::stop_token stop) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        if (stop.stop_requested())
            break;
        const double t0 = m_options.uptime();
        bool ok = false;
        try {
            co_await download(run, 1, stop);
            ok = true;
        } catch (const CancellationError&) {
            break;
        } catch (const KestrumError&) {
            // A failed probe is simply not a sample.
        }
        if (ok) {
            const double ms = std::max(0.0, m_options.uptime() - t0) * 1000.0;
            if (std::isfinite(ms))
                samples.push_back(ms);
        }
    }
    co_return samples;
}

QCoro::Task<int64_t> CurlNetworkSpeedTester::transferPayloadWithRetry(Run& run,
                                                                      NetworkSpeedTransferDirection direction,
                                                                      int64_t bytes, int attempts,
                                                                      NetworkSpeedTransferBudget& budget) {
    const int total = std::max(1, attempts);
    for (int k = 0;; ++k) {
        run.checkCancellation();
        if (bytes < 1 || !budget.reserve(bytes))
            throw makeError(NetworkSpeedTestError::transferLimitReached);
        try {
            // Plain branches: g++ 12 evaluates both arms of a conditional that holds co_await.
            if (direction == NetworkSpeedTransferDirection::download)
                co_return co_await download(run, bytes, run.stop);
            co_return co_await upload(run, bytes, run.stop);
        } catch (const CancellationError&) {
            throw;
        } catch (const KestrumError& error) {
            if (speedTestErrorCase(error) == NetworkSpeedTestError::providerLimited || k == total - 1)
                throw;
        }
        co_await m_options.sleeper(0.3 + 0.3 * k, run.stop);
    }
}

QCoro::Task<int64_t> CurlNetworkSpeedTester::download(Run& run, int64_t bytes, std::stop_token stop) {
    QUrl url = m_downloadEndpoint;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("bytes"), QString::number(bytes));
    url.setQuery(query);
    if (!url.isValid())
        throw makeError(NetworkSpeedTestError::invalidEndpoint);

    HTTPRequest request;
    request.method = "GET";
    request.url = url;
    request.headers = {{"Cache-Control", "no-store"}, {"Accept-Encoding", "identity"}};
    request.idleTimeoutSeconds = m_options.requestTimeoutSeconds;
    request.totalTimeoutSeconds = m_options.resourceTimeoutSeconds;
    request.maximumResponseBytes = bytes; // a server that sends more is cut off at once
    request.keepBody = false;
    HTTPResponse response;
    try {
        response = co_await run.session->send(request, stop);
    } catch (const HTTPTransportError& error) {
        if (error.kind() == HTTPTransportError::Kind::cancelled || stop.stop_requested())
            throw CancellationError();
        qCInfo(lcNetworkSpeed, "Download transport failed: %s", error.what());
        throw makeError(NetworkSpeedTestError::downloadFailed);
    }
    if (response.statusCode == 429 || response.statusCode == 403) {
        qCInfo(lcNetworkSpeed, "Download provider limited request: status=%ld expected=%ld",
               long(response.statusCode), long(bytes));
        throw makeError(NetworkSpeedTestError::providerLimited);
    }
    if (response.statusCode < 200 || response.statusCode > 299 || response.exceededByteLimit ||
        response.bodyByteCount != bytes) {
        qCInfo(lcNetworkSpeed, "Download response rejected: status=%ld bytes=%ld expected=%ld",
               long(response.statusCode), long(response.bodyByteCount), long(bytes));
        throw makeError(NetworkSpeedTestError::downloadFailed);
    }
    co_return bytes;
}

QCoro::Task<int64_t> CurlNetworkSpeedTester::upload(Run& run, int64_t bytes, std::stop_token stop) {
    HTTPRequest request;
    request.method = "POST";
    request.url = m_uploadEndpoint;
    request.headers = {{"Content-Type", "application/octet-stream"},
                       {"Cache-Control", "no-store"},
                       {"Content-Encoding", "identity"}};
    request.zeroBodyBytes = bytes;
    request.idleTimeoutSeconds = m_options.requestTimeoutSeconds;
    request.totalTimeoutSeconds = m_options.resourceTimeoutSeconds;
    request.maximumResponseBytes = 1 << 20; // the answer to an upload is small; never read an endless one
    request.keepBody = false;
    HTTPResponse response;
    try {
        response = co_await run.session->send(request, stop);
    } catch (const HTTPTransportError& error) {
        if (error.kind() == HTTPTransportError::Kind::cancelled || stop.stop_requested())
            throw CancellationError();
        qCInfo(lcNetworkSpeed, "Upload transport failed: %s", error.what());
        throw makeError(NetworkSpeedTestError::uploadFailed);
    }
    if (response.statusCode == 429 || response.statusCode == 403) {
        qCInfo(lcNetworkSpeed, "Upload provider limited request: status=%ld bytes=%ld",
               long(response.statusCode), long(bytes));
        throw makeError(NetworkSpeedTestError::providerLimited);
    }
    if (response.statusCode < 200 || response.statusCode > 299) {
        qCInfo(lcNetworkSpeed, "Upload response rejected: status=%ld bytes=%ld", long(response.statusCode),
               long(bytes));
        throw makeError(NetworkSpeedTestError::uploadFailed);
    }
    co_return bytes;
}

} // namespace kestrum
