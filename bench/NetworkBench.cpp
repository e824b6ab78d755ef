// Loopback throughput of the speed tester against curl(1), from one local HTTPS server in one run.
//
//   network_bench [--runs N]  starts the server as a child process, then measures, N times (default 5):
//     1. a quick speed test against it: the download rate it reports, the bytes it moved (as the server
//        counted them) against the quick mode's ceiling, and this process's CPU time;
//     2. right after it, `curl -o /dev/null` fetching the same download bytes (transfers of the tester's
//        largest per-stream size, 16 at once);
//   and then, three times, the HTTP client alone and curl each downloading 1 GB (16 at once): CPU per GB.
//   network_bench --serve    the server: prints "PORT CAFILE", then answers "stats" on standard input
//                            with "SERVED RECEIVED REQUESTS" until standard input closes.

#include "LocalHttpsServer.h"
#include "foundation/KestrumError.h"
#include "network/CurlHTTPClient.h"
#include "network/CurlNetworkSpeedTester.h"
#include "network/NetworkSpeedTestPlan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <qcoro/qcorotask.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace kestrum;

namespace {

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int serve() {
    test::LocalHttpsServer server;
    std::printf("%u %s\n", unsigned(server.port()), qPrintable(server.caFile()));
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        std::printf("%lld %lld %d\n", static_cast<long long>(server.bytesServed()),
                    static_cast<long long>(server.bytesReceived()), server.requestCount());
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}

struct ServerStats {
    int64_t served = 0;
    int64_t received = 0;
    int requests = 0;
};

class ServerProcess {
public:
    bool start() {
        m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve")});
        if (!m_process.waitForReadyRead(20000))
            return false;
        const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
        m_port = words.value(0).toUShort();
        m_caFile = QString::fromLocal8Bit(words.value(1));
        return m_port != 0;
    }
    ServerStats stats() {
        m_process.write("stats\n");
        m_process.waitForReadyRead(10000);
        const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
        return {words.value(0).toLongLong(), words.value(1).toLongLong(), words.value(2).toInt()};
    }
    ~ServerProcess() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString base() const { return QStringLiteral("https://127.0.0.1:%1").arg(m_port); }
    const QString& caFile() const { return m_caFile; }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_caFile;
};

template <class T> std::optional<T> finish(QCoro::Task<T> task, std::exception_ptr& error) {
    std::optional<T> result;
    QCoro::waitFor([](QCoro::Task<T> t, std::optional<T>& out, std::exception_ptr& e) -> QCoro::Task<void> {
        try {
            out = co_await std::move(t);
        } catch (...) {
            e = std::current_exception();
        }
    }(std::move(task), result, error));
    return result;
}

double megabits(int64_t bytes, double seconds) {
    return seconds > 0 ? double(bytes) * 8 / seconds / 1e6 : 0;
}

// `count` downloads of `bytes` each through curl(1), 16 at a time: wall seconds and curl's CPU seconds.
std::optional<std::pair<double, double>> curlDownload(const ServerProcess& server, int count, int64_t bytes) {
    QTemporaryFile config;
    if (!config.open())
        return std::nullopt;
    QTextStream out(&config);
    for (int i = 0; i < count; ++i)
        out << "url = \"" << server.base() << "/__down?bytes=" << bytes << "\"\noutput = \"/dev/null\"\n";
    out.flush();
    QProcess curl;
    const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("--silent"), QStringLiteral("--fail"), QStringLiteral("--parallel"),
                QStringLiteral("--parallel-max"), QStringLiteral("16"), QStringLiteral("--cacert"),
                server.caFile(), QStringLiteral("--config"), config.fileName()});
    if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
        return std::nullopt;
    }
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    return std::pair{wall, cpuSeconds(RUSAGE_CHILDREN) - cpu0};
}

// `count` downloads of `bytes` each through the speed tester's HTTP client, 16 at a time: wall and this
// process's CPU seconds.
std::optional<std::pair<double, double>> clientDownload(const ServerProcess& server, int count,
                                                        int64_t bytes) {
    CurlHTTPClient::Configuration configuration;
    configuration.caBundleFile = server.caFile();
    configuration.maximumConcurrentTransfers = 16;
    CurlHTTPClient client(configuration);
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    std::vector<QFuture<HTTPResponse>> futures;
    for (int i = 0; i < count; ++i) {
        HTTPRequest request;
        request.url = QUrl(server.base() + QStringLiteral("/__down?bytes=%1").arg(bytes));
        request.keepBody = false;
        request.maximumResponseBytes = bytes;
        futures.push_back(client.send(request));
    }
    for (auto& future : futures) {
        try {
            if (future.result().bodyByteCount != bytes)
                return std::nullopt;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "download failed: %s\n", error.what());
            return std::nullopt;
        }
    }
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    return std::pair{wall, cpuSeconds(RUSAGE_SELF) - cpu0};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int measure(int runs) {
    ServerProcess server;
    if (!server.start()) {
        std::fprintf(stderr, "the local server did not start\n");
        return 1;
    }
    const auto plan = NetworkSpeedTestPlan::make(NetworkSpeedTestMode::quick);
    const int64_t ceiling =
        plan.transferBudgetBytes.download + plan.transferBudgetBytes.upload +
        int64_t(plan.maximumAttempts) * (plan.warmupBytes.download + plan.warmupBytes.upload);
    const int64_t perStream = plan.maximumBytesPerStream.download;

    // 1 and 2, alternating so that both see the same machine: a quick speed test, then curl over the
    // bytes its download direction moved, in transfers of the largest per-stream size, 16 at once.
    std::vector<double> testerRates, curlRates, ratios, moved, cpuPerGB;
    ServerStats before = server.stats();
    for (int run = 1; run <= runs; ++run) {
        CurlNetworkSpeedTester::Options options;
        options.caBundleFile = server.caFile();
        CurlNetworkSpeedTester tester(QUrl(server.base() + QStringLiteral("/__down")),
                                      QUrl(server.base() + QStringLiteral("/__up")), options);
        int64_t downloadBytes = 0;
        const double cpu0 = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer timer;
        timer.start();
        std::exception_ptr error;
        const auto result = finish(tester.run(NetworkSpeedTestMode::quick, {},
                                              [&](const NetworkSpeedTestProgress& p) {
                                                  if (p.direction == NetworkSpeedTransferDirection::download)
                                                      downloadBytes = p.directionBytesUsed;
                                              }),
                                   error);
        const double wall = double(timer.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
        if (!result) {
            std::fprintf(stderr, "the speed test failed: %s\n",
                         qPrintable(error ? describeException(error) : QStringLiteral("?")));
            return 1;
        }
        const ServerStats after = server.stats();
        const int64_t bytes = (after.served - before.served) + (after.received - before.received);
        before = after;

        const int transfers = int(std::max<int64_t>(16, downloadBytes / perStream));
        const auto viaCurl = curlDownload(server, transfers, perStream);
        if (!viaCurl)
            return 1;
        before = server.stats();
        const double curlRate = megabits(int64_t(transfers) * perStream, viaCurl->first);
        std::printf("run %d: speed test %.1f s, download %.0f Mbit/s, upload %.0f Mbit/s, %lld bytes moved "
                    "(reported %lld), CPU %.2f s | curl %d x %lld bytes %.0f Mbit/s | ratio %.2f\n",
                    run, wall, result->downloadMegabitsPerSecond, result->uploadMegabitsPerSecond,
                    static_cast<long long>(bytes), static_cast<long long>(result->transferredBytes), cpu,
                    transfers, static_cast<long long>(perStream), curlRate,
                    result->downloadMegabitsPerSecond / curlRate);
        testerRates.push_back(result->downloadMegabitsPerSecond);
        curlRates.push_back(curlRate);
        ratios.push_back(result->downloadMegabitsPerSecond / curlRate);
        moved.push_back(double(bytes));
        cpuPerGB.push_back(cpu / (double(bytes) / 1e9));
    }
    std::printf("median of %d: speed tester %.0f Mbit/s, curl %.0f Mbit/s, ratio %.2f (median of the runs' "
                "ratios)\n",
                runs, median(testerRates), median(curlRates), median(ratios));
    std::printf("bytes moved by a quick test: median %.0f, most %.0f, ceiling %lld (budgets and three "
                "attempts of each warm-up)\n",
                median(moved), *std::max_element(moved.begin(), moved.end()),
                static_cast<long long>(ceiling));
    std::printf("speed test CPU: median %.2f s per GB moved (both directions, this process)\n",
                median(cpuPerGB));

    // 3. CPU per GB downloaded: the tester's HTTP client and curl, 1,000 x 1,000,000 bytes, 16 at once.
    std::vector<double> clientCpu, clientRate, curlCpu, curlRate;
    for (int run = 0; run < 3; ++run) {
        const auto client = clientDownload(server, 1000, 1'000'000);
        const auto viaCurl = curlDownload(server, 1000, 1'000'000);
        if (!client || !viaCurl)
            return 1;
        clientCpu.push_back(client->second);
        clientRate.push_back(megabits(1'000'000'000, client->first));
        curlCpu.push_back(viaCurl->second);
        curlRate.push_back(megabits(1'000'000'000, viaCurl->first));
    }
    std::printf(
        "1 GB download, 16 at once, median of 3: HTTP client %.0f Mbit/s, %.2f s CPU per GB; curl %.0f "
        "Mbit/s, %.2f s CPU per GB\n",
        median(clientRate), median(clientCpu), median(curlRate), median(curlCpu));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--serve")
        return serve();
    const int runs = argc > 2 && QByteArray(argv[1]) == "--runs" ? std::max(1, atoi(argv[2])) : 5;
    return measure(runs);
}
