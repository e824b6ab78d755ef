#pragma once

#include "SystemSnapshot.h"

#include <QFuture>

namespace kestrum {

// One complete snapshot per call. May fail: the future then carries the error.
class SystemMetricsSampling {
public:
    virtual ~SystemMetricsSampling() = default;
    virtual QFuture<SystemSnapshot> sample() = 0;
};

} // namespace kestrum
