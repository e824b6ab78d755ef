#include "DefaultQuickHealthTestWorkloadRunner.h"

#include "HealthTestErrors.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

#include <QDir>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrum {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kStepsPerBatch = 4096;
constexpr size_t kStorageChunkBytes = 8u << 20; // a multiple of the pattern's period of 256
constexpr uint64_t kMinimumMemoryBytes = 1'048'576;
constexpr uint64_t kMaximumMemoryBytes = 536'870'912;
constexpr size_t kMemorySliceBytes = 16u << 20; // copied between looks at the stop token

double secondsBetween(Clock::time_point start, Clock::time_point end) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()) /
           1e9;
}

void throwIfCancelled(const std::stop_token& stop) {
    if (stop.stop_requested())
        throw CancellationError();
}

// Closes the descriptor on every exit.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

[[noreturn]] void throwWriteFailure(int error) {
    throw KestrumError(QStringLiteral("storageWrite"),
                       trTemplate("Geçici test dosyası yazılamadı: \\(reason)",
                                  {QString::fromLocal8Bit(std::strerror(error))}));
}

} // namespace

GPUThroughput NoGPUComputeWorkload::measure(double, std::stop_token stop) {
    throwIfCancelled(stop);
    return {std::nullopt, trText("Bu derlemede grafik hesaplama yolu yok.")};
}

int StandardProcessInformation::activeProcessorCount() const {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

DefaultQuickHealthTestWorkloadRunner::DefaultQuickHealthTestWorkloadRunner(Settings settings,
                                                                           Collaborators collaborators)
    : m_settings(settings), m_collaborators(std::move(collaborators)) {
    if (!m_collaborators.gpu)
        m_collaborators.gpu = std::make_shared<NoGPUComputeWorkload>();
    if (!m_collaborators.processInformation)
        m_collaborators.processInformation = std::make_shared<StandardProcessInformation>();
    if (!m_collaborators.storageFolder)
        m_collaborators.storageFolder = [] { return KestrumPaths::dataDirectory(); };
    m_executor.setMaxThreadCount(1);
    m_executor.setObjectName(QStringLiteral("kestrum-health-workloads"));
}

DefaultQuickHealthTestWorkloadRunner::~DefaultQuickHealthTestWorkloadRunner() {
    m_executor.waitForDone();
}

QFuture<double> DefaultQuickHealthTestWorkloadRunner::runCPUPass(std::stop_token stop) {
    return QtConcurrent::run(&m_executor, [this, stop] {
        const int active = m_collaborators.processInformation->activeProcessorCount();
        const int workers = std::min(std::max(active, 1), m_settings.maximumCPUWorkers);
        return cpuThroughput(m_settings.cpuPassDuration, workers, stop).operationsPerSecond;
    });
}

QFuture<GPUThroughput> DefaultQuickHealthTestWorkloadRunner::runGPUWorkload(std::stop_token stop) {
    return runSustainedGPUWorkload(0, stop);
}

QFuture<HealthTestStorageMeasurement>
DefaultQuickHealthTestWorkloadRunner::runStorageWorkload(std::stop_token stop) {
    return runStorageWorkload(m_settings.storageTestBytes, stop);
}

QFuture<CPUPassMeasurement> DefaultQuickHealthTestWorkloadRunner::runSustainedCPUPass(double duration,
                                                                                      int maximumWorkers,
                                                                                      std::stop_token stop) {
    return QtConcurrent::run(&m_executor, [this, duration, maximumWorkers, stop] {
        const int active = m_collaborators.processInformation->activeProcessorCount();
        const int workers = std::min(std::max(active, 1), std::max(maximumWorkers, 1));
        return cpuThroughput(duration, workers, stop);
    });
}

QFuture<GPUThroughput> DefaultQuickHealthTestWorkloadRunner::runSustainedGPUWorkload(double duration,
                                                                                     std::stop_token stop) {
    auto gpu = m_collaborators.gpu;
    return QtConcurrent::run(&m_executor, [gpu, duration, stop] {
        throwIfCancelled(stop);
        return gpu->measure(duration, stop);
    });
}

QFuture<HealthTestStorageMeasurement>
DefaultQuickHealthTestWorkloadRunner::runStorageWorkload(uint64_t testBytes, std::stop_token stop) {
    const QString folder = m_collaborators.storageFolder();
    return QtConcurrent::run(
        &m_executor, [folder, testBytes, stop] { return storageThroughput(folder, testBytes, stop); });
}

QFuture<HealthTestMemoryMeasurement>
DefaultQuickHealthTestWorkloadRunner::runMemoryWorkload(uint64_t testBytes, int passCount,
                                                        std::stop_token stop) {
    return QtConcurrent::run(
        &m_executor, [testBytes, passCount, stop] { return memoryThroughput(testBytes, passCount, stop); });
}

CPUPassMeasurement DefaultQuickHealthTestWorkloadRunner::cpuThroughput(double duration, int workers,
                                                                       std::stop_token stop) {
    throwIfCancelled(stop);
    workers = std::max(workers, 1);
    struct Outcome {
        uint64_t operations = 0;
        uint64_t state = 0;
    };
    std::vector<Outcome> outcomes(static_cast<size_t>(workers));
    std::atomic<bool> cancelled{false};
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        start + std::chrono::nanoseconds(static_cast<int64_t>(std::max(duration, 0.0) * 1e9));
    {
        std::vector<std::jthread> threads;
        threads.reserve(outcomes.size());
        for (size_t i = 0; i < outcomes.size(); ++i) {
            threads.emplace_back([&, i] {
                uint64_t x = (static_cast<uint64_t>(i) + 1) * 0x9E3779B97F4A7C15ULL;
                uint64_t operations = 0;
                while (Clock::now() < deadline) {
                    for (uint64_t step = 0; step < kStepsPerBatch; ++step) {
                        x ^= x >> 12;
                        x ^= x << 25;
                        x ^= x >> 27;
                        x *= 0x2545F4914F6CDD1DULL;
                    }
                    operations += kStepsPerBatch;
                    if (stop.stop_requested() || cancelled.load(std::memory_order_relaxed)) {
                        cancelled.store(true, std::memory_order_relaxed);
                        break;
                    }
                }
                outcomes[i] = {operations, x};
            });
        }
    } // every worker has finished here
    const Clock::time_point end = Clock::now();
    if (cancelled.load() || stop.stop_requested())
        throw CancellationError();
    uint64_t total = 0;
    uint64_t checksum = 0;
    for (const Outcome& outcome : outcomes) {
        total += outcome.operations;
        checksum ^= outcome.state;
    }
    // The checksum only has to exist so that the loop is not optimised away.
    [[maybe_unused]] volatile uint64_t sink = checksum;
    const double rate = static_cast<double>(total) / secondsBetween(start, end);
    if (!std::isfinite(rate) || rate <= 0)
        throw QuickHealthTestError::invalidWorkloadResult(QuickHealthTestError::processorWorkloadName());
    return {rate, workers};
}

QString DefaultQuickHealthTestWorkloadRunner::temporaryFilePrefix() {
    return QStringLiteral("kestrum-health-test-");
}

HealthTestStorageMeasurement DefaultQuickHealthTestWorkloadRunner::storageThroughput(const QString& folder,
                                                                                     uint64_t bytes,
                                                                                     std::stop_token stop) {
    throwIfCancelled(stop);
    QDir().mkpath(folder);
    const QString path = folder + u'/' + temporaryFilePrefix() + uuidText(newUuid()) + QStringLiteral(".tmp");
    const QByteArray nativePath = QFile::encodeName(path);

    FileDescriptor file;
    file.fd = ::open(nativePath.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (file.fd < 0)
        throw QuickHealthTestError::invalidWorkloadResult(QuickHealthTestError::storageWriteWorkloadName());
    // The name goes at once: the open descriptor keeps the data, and nothing is left behind on any exit,
    // not even when the process is killed.
    ::unlink(nativePath.constData());

    std::vector<unsigned char> chunk(static_cast<size_t>(std::min<uint64_t>(bytes, kStorageChunkBytes)));
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<unsigned char>((i * 31 + 17) % 256);

    const Clock::time_point writeStart = Clock::now();
    uint64_t written = 0;
    while (written < bytes) {
        throwIfCancelled(stop);
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(bytes - written, chunk.size()));
        const ssize_t n = ::write(file.fd, chunk.data(), wanted);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwWriteFailure(errno);
        }
        if (n == 0)
            throwWriteFailure(ENOSPC);
        written += static_cast<uint64_t>(n);
    }
    if (::fsync(file.fd) != 0)
        throwWriteFailure(errno);
    const Clock::time_point writeEnd = Clock::now();

    throwIfCancelled(stop);
    // Clean pages leave the cache, so that the read-back measures the disk.
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_DONTNEED);
    const Clock::time_point readStart = Clock::now();
    uint64_t readBack = 0;
    for (;;) {
        throwIfCancelled(stop);
        const ssize_t n = ::pread(file.fd, chunk.data(), chunk.size(), static_cast<off_t>(readBack));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw QuickHealthTestError::invalidWorkloadResult(
                QuickHealthTestError::storageReadWorkloadName());
        }
        if (n == 0)
            break;
        readBack += static_cast<uint64_t>(n);
    }
    const Clock::time_point readEnd = Clock::now();
    if (readBack == 0)
        throw QuickHealthTestError::invalidWorkloadResult(QuickHealthTestError::storageReadWorkloadName());

    HealthTestStorageMeasurement measurement;
    measurement.testedBytes = readBack;
    measurement.writeBytesPerSecond = static_cast<double>(readBack) / secondsBetween(writeStart, writeEnd);
    measurement.readBytesPerSecond = static_cast<double>(readBack) / secondsBetween(readStart, readEnd);
    const auto valid = [](double rate) { return std::isfinite(rate) && rate > 0; };
    if (!valid(measurement.writeBytesPerSecond) || !valid(measurement.readBytesPerSecond))
        throw QuickHealthTestError::invalidWorkloadResult(QuickHealthTestError::storageWorkloadName());
    return measurement;
}

HealthTestMemoryMeasurement
DefaultQuickHealthTestWorkloadRunner::memoryThroughput(uint64_t bytes, int passCount, std::stop_token stop) {
    throwIfCancelled(stop);
    bytes = std::clamp(bytes, kMinimumMemoryBytes, kMaximumMemoryBytes);
    passCount = std::clamp(passCount, 1, 16);
    const size_t size = static_cast<size_t>(bytes);
    // Filled (and so faulted in) before the clock starts, a slice at a time so that a stop is seen soon.
    std::unique_ptr<unsigned char[]> source(new unsigned char[size]);
    std::unique_ptr<unsigned char[]> destination(new unsigned char[size]);
    for (size_t offset = 0; offset < size; offset += kMemorySliceBytes) {
        throwIfCancelled(stop);
        const size_t length = std::min(kMemorySliceBytes, size - offset);
        std::memset(source.get() + offset, 0xA5, length);
        std::memset(destination.get() + offset, 0, length);
    }
    const Clock::time_point start = Clock::now();
    for (int pass = 0; pass < passCount; ++pass) {
        for (size_t offset = 0; offset < size; offset += kMemorySliceBytes) {
            throwIfCancelled(stop);
            std::memcpy(destination.get() + offset, source.get() + offset,
                        std::min(kMemorySliceBytes, size - offset));
        }
    }
    const Clock::time_point end = Clock::now();
    [[maybe_unused]] volatile unsigned char sink = destination[size - 1];
    const double rate = static_cast<double>(bytes) * passCount / secondsBetween(start, end);
    if (!std::isfinite(rate) || rate <= 0)
        throw QuickHealthTestError::invalidWorkloadResult(QuickHealthTestError::memoryWorkloadName());
    return {bytes, passCount, rate};
}

} // namespace kestrum
