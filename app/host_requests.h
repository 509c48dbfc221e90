#pragma once
// Device changes the panels ask for; the frame loop takes each with an atomic
// exchange at the top of the next iteration, so a panel never reopens the
// Studio stream itself while it draws.

#include <atomic>
#include <cstdint>

struct HostRequests {
    std::atomic<int32_t> requestedStudioMode{-1};    // -1 none, 0 VOCAL + BEAT, 1 BEAT ONLY
    std::atomic<int32_t> requestedBufferFrames{0};   // 0 none, else frames
    std::atomic<int32_t> requestedAsioDevice{-1};    // -1 none, else a device id
};

inline HostRequests hostRequests;

// The Studio Mode, buffer size and driver requests, taken once each in that
// order, then the check for a stream whose device went away. Top of each frame.
void HandleHostRequests();
