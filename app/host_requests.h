#pragma once
// Device changes the panels ask for; the frame loop takes each with an atomic
// exchange at the top of the next iteration, so a panel never reopens the
// Studio stream itself while it draws.

#include <atomic>
#include <cstdint>

struct HostRequests {
    std::atomic<int32_t> requestedStudioMode{-1};     // -1 none, 0 VOCAL + BEAT, 1 BEAT ONLY
    std::atomic<int32_t> requestedBufferFrames{0};    // 0 none, else frames
    std::atomic<int32_t> requestedAsioDevice{-1};     // -1 none, else a device id
    std::atomic<bool> requestedStudioRestore{false};  // "KHÔI PHỤC ÂM THANH"
    std::atomic<int32_t> requestedBridgeInput{-1};    // -1 none, else an index into the recording endpoints
    std::atomic<bool> requestedMicRefresh{false};     // "REFRESH WINDOWS MIC"
};

inline HostRequests hostRequests;

// The Studio Mode, buffer size and driver requests, taken once each in that
// order, then the check for a stream whose device went away, then the
// bridged microphone's. Top of each frame.
void HandleHostRequests();
// The restore request, taken once: 1 when the Studio stream runs again,
// -1 when it could not, 0 when none was asked for.
int32_t HandleRestoreRequest();
