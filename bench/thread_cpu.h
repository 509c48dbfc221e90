#pragma once
// CPU time a thread has used so far, for the benchmarks of background threads.

#include <pthread.h>

#include <ctime>
#include <thread>

inline double ThreadCpuSeconds(std::thread& thread) {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 || clock_gettime(clock, &t) != 0) return 0.0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
