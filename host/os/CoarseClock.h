#pragma once
// The monotonic clock read cheaply: at most a few milliseconds behind std::chrono::steady_clock, whose
// time points it gives (both count from the same moment), which is enough for progress displays,
// time-outs and idle limits.

#include <chrono>
#include <ctime>

namespace host::os {

inline std::chrono::steady_clock::time_point coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::seconds(now.tv_sec) +
                                                                      std::chrono::nanoseconds(now.tv_nsec)));
}

}  // namespace host::os
