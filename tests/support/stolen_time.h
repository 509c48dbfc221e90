#pragma once
// How much of this machine's CPU time the hypervisor gave to other guests
// ("steal" in /proc/stat). A real-time measurement taken while a large share
// was stolen judges the host, not the code: such a test says so and skips
// its timing checks.

#include <fstream>
#include <sstream>
#include <string>

struct CpuTimes {
    unsigned long long steal = 0;
    unsigned long long total = 0;
};

inline CpuTimes ReadCpuTimes() {
    std::ifstream stat("/proc/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line);
    std::string cpu;
    fields >> cpu;
    CpuTimes t;
    unsigned long long v = 0;
    for (int i = 0; i < 8 && fields >> v; ++i) {  // user nice system idle iowait irq softirq steal
        t.total += v;
        if (i == 7) t.steal = v;
    }
    return t;
}

// The share of the CPU time since `from` that was stolen, 0..1.
inline double StolenShareSince(const CpuTimes& from) {
    const CpuTimes now = ReadCpuTimes();
    const unsigned long long total = now.total - from.total;
    return total == 0 ? 0.0 : static_cast<double>(now.steal - from.steal) / static_cast<double>(total);
}

// Beyond this the real-time checks are not judged.
constexpr double kMostStolenShare = 0.05;

#define SKIP_WHEN_TIME_WAS_STOLEN(share)                                                         \
    if (const double stolenShare = (share); stolenShare > kMostStolenShare)                      \
    GTEST_SKIP() << "the host gave " << static_cast<int>(stolenShare * 100)                      \
                 << " % of this machine's CPU time to other guests during the run: real time is not judged"
