#pragma once
// The Mini Player's output: the key-shifted beat alone, from the beat ring
// to an ordinary output by a render thread of its own, with one of two
// profiles: 0 "wired / HDMI" (28 ms buffer, 1920-sample prefill) and
// 1 "Bluetooth" (80 ms, 4800). It never plays into the virtual cable, whose
// output the beat pump captures: that would be an endless echo.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/audio_streams.h"

struct MiniOutput {
    RenderStream* stream = nullptr;
    StreamFormat format;
    std::atomic<bool> running{false};
    std::thread thread;
    uint32_t bufferFrames = 0;  // as granted, which may be less than the profile asks
    std::string openedId;       // the endpoint actually opened; empty when closed
    std::string openError;      // why the last open failed, for a person to read
    // Written by the render thread.
    std::atomic<uint64_t> framesWritten{0};
    std::atomic<uint64_t> silentPasses{0};  // the ring had nothing to give
    std::atomic<bool> streamLost{false};    // the device or server went away; the thread ended
    std::atomic<uint64_t> streamsLost{0};
};

extern MiniOutput miniOutput;

// Both opens pause the beat pump while the ring changes hands.
bool OpenMiniOutput(const std::string& endpointId, bool bluetooth);
// Ends the render thread for certain (it wakes within a few milliseconds),
// then releases the stream.
void StopMiniOutput();
// Refresh, ring reset and prefill for the profile, open on the selection,
// and the opened id to be saved.
bool OpenSelectedMiniOutput();
bool IsMiniOutputRunning();

// One pass of the render thread's conversion: frames of stereo beat times
// gain into `out` in the stream's format (the average of left and right on
// channels beyond two); returns the peak written. Formats other than float
// and 16-bit get silence.
float RenderMiniFrames(const float* beat, uint32_t frames, const StreamFormat& format, float gain, void* out);
