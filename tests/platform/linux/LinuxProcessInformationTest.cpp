#include "LinuxProcessInformation.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <thread>

using namespace kestrum;

TEST(LinuxProcessInformation, ActiveProcessorsFollowTheAffinityMask) {
    cpu_set_t original;
    ASSERT_EQ(::sched_getaffinity(0, sizeof original, &original), 0);
    const int all = LinuxProcessInformation::affinityProcessorCount();
    EXPECT_EQ(all, CPU_COUNT(&original));
    EXPECT_LE(all, static_cast<int>(std::thread::hardware_concurrency()));

    // Pinned to one processor (as `taskset -c N` would), the count follows.
    int first = 0;
    while (!CPU_ISSET(first, &original))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const int pinned = LinuxProcessInformation(nullptr).activeProcessorCount();
    ::sched_setaffinity(0, sizeof original, &original);
    EXPECT_EQ(pinned, 1);
    EXPECT_FALSE(
        LinuxProcessInformation(nullptr).isLowPowerModeEnabled()); // no daemon asked: never low power
}
