#pragma once

#include "CliSupport.h"
#include "measurement/DefaultSystemMetricsSampler.h"

namespace kestrum::cli {

int runSnapshot(Arguments& arguments);

// Two samples `interval` seconds apart, so that usage and traffic rates are real; the second is returned.
SystemSnapshot takeSettledSnapshot(DefaultSystemMetricsSampler& sampler, double interval, bool& interrupted);

} // namespace kestrum::cli
