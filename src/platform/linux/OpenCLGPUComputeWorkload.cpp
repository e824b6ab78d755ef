#include "OpenCLGPUComputeWorkload.h"

#include "foundation/KestrumError.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"

#define CL_TARGET_OPENCL_VERSION 120
#include <CL/cl.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <dlfcn.h>
#include <vector>

namespace kestrum {

namespace {

using Clock = std::chrono::steady_clock;

// Each work item does 32 rounds of a fused multiply-add and a square root: 128 operations counted.
constexpr double kOperationsPerItem = 128;
constexpr const char* kKernelName = "kestrum_health_mix";
constexpr const char* kKernelSource = R"CL(
__kernel void kestrum_health_mix(__global float* values) {
    const size_t index = get_global_id(0);
    float value = values[index] + (float)(index % 97) * 0.0001f;
    for (int i = 0; i < 32; ++i) {
        value = fma(value, 1.000001f, 0.000001f);
        value = sqrt(value * value + 0.00001f);
    }
    values[index] = value;
}
)CL";
constexpr size_t kVerifiedElements = 16;

QString noDriverReason() {
    return trText("OpenCL sürücüsü (ICD) kurulu olmadığı için grafik hesaplama testi çalıştırılamadı.");
}
QString noDeviceReason() {
    return trText(
        "OpenCL sürücüleri bir grafik işlemcisi sunmadığı için grafik hesaplama testi çalıştırılamadı.");
}
QString preparationFailedReason() {
    return trText("Grafik işlemcisi hesaplama testi için hazırlanamadı.");
}
QString commandFailedReason() {
    return trText("Grafik işlemcisindeki hesaplama komutu tamamlanamadı.");
}
QString wrongResultReason() {
    return trText("Grafik sürücüsü hesaplamada hatalı sonuç üretti.");
}

struct Api {
    decltype(&clGetPlatformIDs) getPlatformIDs = nullptr;
    decltype(&clGetDeviceIDs) getDeviceIDs = nullptr;
    decltype(&clGetDeviceInfo) getDeviceInfo = nullptr;
    decltype(&clCreateContext) createContext = nullptr;
    decltype(&clCreateCommandQueue) createCommandQueue = nullptr;
    decltype(&clCreateProgramWithSource) createProgramWithSource = nullptr;
    decltype(&clBuildProgram) buildProgram = nullptr;
    decltype(&clGetProgramBuildInfo) getProgramBuildInfo = nullptr;
    decltype(&clCreateKernel) createKernel = nullptr;
    decltype(&clGetKernelWorkGroupInfo) getKernelWorkGroupInfo = nullptr;
    decltype(&clCreateBuffer) createBuffer = nullptr;
    decltype(&clSetKernelArg) setKernelArg = nullptr;
    decltype(&clEnqueueWriteBuffer) enqueueWriteBuffer = nullptr;
    decltype(&clEnqueueReadBuffer) enqueueReadBuffer = nullptr;
    decltype(&clEnqueueNDRangeKernel) enqueueNDRangeKernel = nullptr;
    decltype(&clFlush) flush = nullptr;
    decltype(&clFinish) finish = nullptr;
    decltype(&clGetEventInfo) getEventInfo = nullptr;
    decltype(&clGetEventProfilingInfo) getEventProfilingInfo = nullptr;
    decltype(&clReleaseEvent) releaseEvent = nullptr;
    decltype(&clReleaseMemObject) releaseMemObject = nullptr;
    decltype(&clReleaseKernel) releaseKernel = nullptr;
    decltype(&clReleaseProgram) releaseProgram = nullptr;
    decltype(&clReleaseCommandQueue) releaseCommandQueue = nullptr;
    decltype(&clReleaseContext) releaseContext = nullptr;

    bool resolve(void* handle) {
        bool complete = true;
        const auto symbol = [&](auto& target, const char* name) {
            target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(::dlsym(handle, name));
            complete = complete && target != nullptr;
        };
        symbol(getPlatformIDs, "clGetPlatformIDs");
        symbol(getDeviceIDs, "clGetDeviceIDs");
        symbol(getDeviceInfo, "clGetDeviceInfo");
        symbol(createContext, "clCreateContext");
        symbol(createCommandQueue, "clCreateCommandQueue");
        symbol(createProgramWithSource, "clCreateProgramWithSource");
        symbol(buildProgram, "clBuildProgram");
        symbol(getProgramBuildInfo, "clGetProgramBuildInfo");
        symbol(createKernel, "clCreateKernel");
        symbol(getKernelWorkGroupInfo, "clGetKernelWorkGroupInfo");
        symbol(createBuffer, "clCreateBuffer");
        symbol(setKernelArg, "clSetKernelArg");
        symbol(enqueueWriteBuffer, "clEnqueueWriteBuffer");
        symbol(enqueueReadBuffer, "clEnqueueReadBuffer");
        symbol(enqueueNDRangeKernel, "clEnqueueNDRangeKernel");
        symbol(flush, "clFlush");
        symbol(finish, "clFinish");
        symbol(getEventInfo, "clGetEventInfo");
        symbol(getEventProfilingInfo, "clGetEventProfilingInfo");
        symbol(releaseEvent, "clReleaseEvent");
        symbol(releaseMemObject, "clReleaseMemObject");
        symbol(releaseKernel, "clReleaseKernel");
        symbol(releaseProgram, "clReleaseProgram");
        symbol(releaseCommandQueue, "clReleaseCommandQueue");
        symbol(releaseContext, "clReleaseContext");
        return complete;
    }
};

// A failure that ends the measurement without a rate.
struct NoRate {
    QString reason;
};

} // namespace

struct OpenCLGPUComputeWorkload::Session {
    void* handle = nullptr;
    Api api;
    cl_context context = nullptr;
    cl_command_queue queue = nullptr;
    cl_program program = nullptr;
    cl_kernel kernel = nullptr;
    cl_mem buffer = nullptr;
    size_t localSize = 1;
    QString deviceName;

    ~Session() {
        if (buffer)
            api.releaseMemObject(buffer);
        if (kernel)
            api.releaseKernel(kernel);
        if (program)
            api.releaseProgram(program);
        if (queue)
            api.releaseCommandQueue(queue);
        if (context)
            api.releaseContext(context);
        if (handle)
            ::dlclose(handle);
    }
};

namespace {

// Releases an event on every exit.
struct Event {
    const Api* api = nullptr;
    cl_event event = nullptr;
    ~Event() {
        if (event)
            api->releaseEvent(event);
    }
};

std::optional<cl_device_id> firstDevice(const Api& api, cl_device_type type) {
    cl_uint platformCount = 0;
    if (api.getPlatformIDs(0, nullptr, &platformCount) != CL_SUCCESS || platformCount == 0)
        return std::nullopt;
    std::vector<cl_platform_id> platforms(platformCount);
    if (api.getPlatformIDs(platformCount, platforms.data(), nullptr) != CL_SUCCESS)
        return std::nullopt;
    for (cl_platform_id platform : platforms) {
        cl_device_id device = nullptr;
        cl_uint count = 0;
        if (api.getDeviceIDs(platform, type, 1, &device, &count) == CL_SUCCESS && count > 0 && device)
            return device;
    }
    return std::nullopt;
}

QString buildLog(const Api& api, cl_program program, cl_device_id device) {
    size_t size = 0;
    if (api.getProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, 0, nullptr, &size) != CL_SUCCESS ||
        size == 0)
        return {};
    QByteArray log(static_cast<qsizetype>(size), '\0');
    if (api.getProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, size, log.data(), nullptr) !=
        CL_SUCCESS)
        return {};
    return QString::fromUtf8(log.constData()).trimmed().left(400);
}

} // namespace

OpenCLGPUComputeWorkload::OpenCLGPUComputeWorkload(Options options) : m_options(std::move(options)) {}
OpenCLGPUComputeWorkload::OpenCLGPUComputeWorkload() : OpenCLGPUComputeWorkload(Options{}) {}
OpenCLGPUComputeWorkload::~OpenCLGPUComputeWorkload() = default;

std::optional<QString> OpenCLGPUComputeWorkload::deviceName() const {
    if (!m_session)
        return std::nullopt;
    return m_session->deviceName;
}

float OpenCLGPUComputeWorkload::expectedValue(size_t index, int dispatches, float start) {
    float value = start;
    for (int d = 0; d < dispatches; ++d) {
        value = value + static_cast<float>(index % 97) * 0.0001f;
        for (int i = 0; i < 32; ++i) {
            value = std::fma(value, 1.000001f, 0.000001f);
            value = std::sqrt(value * value + 0.00001f);
        }
    }
    return value;
}

GPUThroughput OpenCLGPUComputeWorkload::measure(double minimumDuration, std::stop_token stop) {
    if (stop.stop_requested())
        throw CancellationError();
    if (m_unavailableReason)
        return {std::nullopt, m_unavailableReason};

    try {
        if (!m_session) {
            auto session = std::make_unique<Session>();
            session->handle =
                ::dlopen(m_options.libraryName.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
            if (!session->handle || !session->api.resolve(session->handle)) {
                m_unavailableReason = noDriverReason();
                return {std::nullopt, m_unavailableReason};
            }
            const Api& api = session->api;
            std::optional<cl_device_id> device = firstDevice(api, CL_DEVICE_TYPE_GPU);
            if (!device && m_options.admitCPUDevice)
                device = firstDevice(api, CL_DEVICE_TYPE_CPU);
            if (!device) {
                m_unavailableReason = noDeviceReason();
                return {std::nullopt, m_unavailableReason};
            }
            char name[256] = {};
            if (api.getDeviceInfo(*device, CL_DEVICE_NAME, sizeof name - 1, name, nullptr) == CL_SUCCESS)
                session->deviceName = QString::fromUtf8(name).trimmed();

            cl_int error = CL_SUCCESS;
            session->context = api.createContext(nullptr, 1, &*device, nullptr, nullptr, &error);
            if (error != CL_SUCCESS || !session->context)
                throw NoRate{preparationFailedReason()};
            session->queue =
                api.createCommandQueue(session->context, *device, CL_QUEUE_PROFILING_ENABLE, &error);
            if (error != CL_SUCCESS || !session->queue)
                throw NoRate{preparationFailedReason()};

            const char* source = kKernelSource;
            session->program = api.createProgramWithSource(session->context, 1, &source, nullptr, &error);
            if (error != CL_SUCCESS || !session->program)
                throw NoRate{preparationFailedReason()};
            if (api.buildProgram(session->program, 1, &*device, nullptr, nullptr, nullptr) != CL_SUCCESS) {
                const QString log = buildLog(api, session->program, *device);
                qCWarning(lcPlatform) << "OpenCL kernel build failed on" << session->deviceName << log;
                throw KestrumError(QStringLiteral("gpuKernelBuild"),
                                   trTemplate("Grafik hesaplama çekirdeği derlenemedi: \\(log)",
                                              {log.isEmpty() ? session->deviceName : log}));
            }
            session->kernel = api.createKernel(session->program, kKernelName, &error);
            if (error == CL_INVALID_KERNEL_NAME)
                throw NoRate{preparationFailedReason()};
            if (error != CL_SUCCESS || !session->kernel) {
                throw KestrumError(QStringLiteral("gpuKernelBuild"),
                                   trTemplate("Grafik hesaplama çekirdeği derlenemedi: \\(log)",
                                              {QStringLiteral("clCreateKernel %1").arg(error)}));
            }
            size_t kernelLimit = 1;
            if (api.getKernelWorkGroupInfo(session->kernel, *device, CL_KERNEL_WORK_GROUP_SIZE,
                                           sizeof kernelLimit, &kernelLimit, nullptr) != CL_SUCCESS)
                kernelLimit = 1;
            // Work groups must divide the grid: the largest power of two within the limits that does.
            size_t local = 1;
            while (local * 2 <= std::min<size_t>(kernelLimit, 256) &&
                   m_options.elementCount % (local * 2) == 0)
                local *= 2;
            session->localSize = local;
            session->buffer = api.createBuffer(session->context, CL_MEM_READ_WRITE | CL_MEM_ALLOC_HOST_PTR,
                                               m_options.elementCount * sizeof(float), nullptr, &error);
            if (error != CL_SUCCESS || !session->buffer)
                throw NoRate{preparationFailedReason()};
            if (api.setKernelArg(session->kernel, 0, sizeof(cl_mem), &session->buffer) != CL_SUCCESS)
                throw NoRate{preparationFailedReason()};
            qCInfo(lcPlatform) << "OpenCL compute workload on" << session->deviceName << "work group"
                               << local;
            m_session = std::move(session);
        }

        Session& s = *m_session;
        const Api& api = s.api;
        const size_t global = m_options.elementCount;
        const auto enqueue = [&](cl_event* event) {
            if (api.enqueueNDRangeKernel(s.queue, s.kernel, 1, nullptr, &global, &s.localSize, 0, nullptr,
                                         event) != CL_SUCCESS)
                throw NoRate{commandFailedReason()};
        };

        // Every measurement starts from zeros, so the result can be checked against the arithmetic.
        const std::vector<float> zeros(m_options.elementCount, 0.0f);
        if (api.enqueueWriteBuffer(s.queue, s.buffer, CL_TRUE, 0, zeros.size() * sizeof(float), zeros.data(),
                                   0, nullptr, nullptr) != CL_SUCCESS)
            throw NoRate{commandFailedReason()};
        int dispatches = 0;
        for (int i = 0; i < m_options.warmupDispatches; ++i, ++dispatches)
            enqueue(nullptr);
        if (api.finish(s.queue) != CL_SUCCESS)
            throw NoRate{commandFailedReason()};

        const double operationsPerRound = static_cast<double>(m_options.dispatchesPerRound) *
                                          static_cast<double>(global) * kOperationsPerItem;
        std::vector<double> samples;
        const Clock::time_point phaseStart = Clock::now();
        for (;;) {
            if (stop.stop_requested())
                throw CancellationError();
            Event first{&api};
            Event last{&api};
            const Clock::time_point committed = Clock::now();
            for (int i = 0; i < m_options.dispatchesPerRound; ++i, ++dispatches) {
                const bool isFirst = i == 0;
                const bool isLast = i + 1 == m_options.dispatchesPerRound;
                enqueue(isFirst ? &first.event : isLast ? &last.event : nullptr);
            }
            if (api.flush(s.queue) != CL_SUCCESS || api.finish(s.queue) != CL_SUCCESS)
                throw NoRate{commandFailedReason()};
            const cl_event lastEvent = last.event ? last.event : first.event;
            cl_int status = CL_QUEUED;
            if (api.getEventInfo(lastEvent, CL_EVENT_COMMAND_EXECUTION_STATUS, sizeof status, &status,
                                 nullptr) != CL_SUCCESS ||
                status != CL_COMPLETE)
                throw NoRate{commandFailedReason()};
            cl_ulong gpuStart = 0;
            cl_ulong gpuEnd = 0;
            double seconds = 0;
            if (api.getEventProfilingInfo(first.event, CL_PROFILING_COMMAND_START, sizeof gpuStart, &gpuStart,
                                          nullptr) == CL_SUCCESS &&
                api.getEventProfilingInfo(lastEvent, CL_PROFILING_COMMAND_END, sizeof gpuEnd, &gpuEnd,
                                          nullptr) == CL_SUCCESS &&
                gpuEnd > gpuStart)
                seconds = static_cast<double>(gpuEnd - gpuStart) / 1e9;
            if (!(seconds > 0))
                seconds = std::chrono::duration<double>(Clock::now() - committed).count();
            const double rate = operationsPerRound / seconds;
            if (std::isfinite(rate) && rate > 0)
                samples.push_back(rate);
            const double elapsed = std::chrono::duration<double>(Clock::now() - phaseStart).count();
            if (static_cast<int>(samples.size()) >= std::max(m_options.minimumRounds, 1) &&
                elapsed >= minimumDuration)
                break;
        }

        // The device must have done the arithmetic it was given, not merely reported completion.
        const size_t checked = std::min(kVerifiedElements, global);
        std::vector<float> head(checked);
        if (api.enqueueReadBuffer(s.queue, s.buffer, CL_TRUE, 0, checked * sizeof(float), head.data(), 0,
                                  nullptr, nullptr) != CL_SUCCESS)
            throw NoRate{commandFailedReason()};
        for (size_t i = 0; i < checked; ++i) {
            const float expected = expectedValue(i, dispatches);
            if (!std::isfinite(head[i]) ||
                std::fabs(head[i] - expected) > 1e-2f * std::max(1.0f, std::fabs(expected))) {
                qCWarning(lcPlatform)
                    << "OpenCL result mismatch at" << i << head[i] << "expected" << expected;
                throw NoRate{wrongResultReason()};
            }
        }

        std::sort(samples.begin(), samples.end());
        return {samples[samples.size() / 2], std::nullopt};
    } catch (const NoRate& noRate) {
        qCInfo(lcPlatform) << "OpenCL compute workload gave no rate:" << noRate.reason;
        m_session.reset(); // a later measurement starts afresh
        return {std::nullopt, noRate.reason};
    }
}

} // namespace kestrum
