#pragma once
// The Direct Mic Bridge: the singer's microphone from an ordinary recording
// endpoint, captured on a thread of its own, one channel chosen (CH1, CH2,
// or automatically the stronger), into the bridge ring that the Studio
// callback reads as its vocal input.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/audio_streams.h"

struct MicBridge {
    CaptureStream* stream = nullptr;
    StreamFormat format;
    std::atomic<bool> running{false};
    std::thread thread;
    std::string deviceName;  // shown as "%s -> Vocal Bus"
    std::string openedId;
    std::atomic<int32_t> bridgeChannelMode{0};  // 0 AUTO, 1 CH1, 2 CH2
    std::atomic<uint32_t> bridgeDeviceChannels{0};
    std::atomic<float> bridgePeakCh1{0.0f};
    std::atomic<float> bridgePeakCh2{0.0f};
    // The endpoint went away while bridged: the thread ended and the callback
    // went back to the sound card's inputs.
    std::atomic<bool> deviceLost{false};
};

extern MicBridge micBridge;

// False (and nothing running) when the endpoint is not there or cannot be captured.
bool OpenMicBridge(const std::string& endpointId);
// Ends the thread for certain, then releases the capture; what it left in
// the ring is discarded by the callback's next read.
void StopMicBridge();
// The vocal goes back to the sound card's inputs: the callback is told to
// stop taking the bridge first, then the capture stops.
void BridgeSourceOff();
// Refreshes the inputs and opens the selected one, whose id is to be saved. An automatic pick by name score of -1000 (a cable's capture side,
// a mix of the program's own output) is no microphone: false, nothing
// stored. An endpoint the user chose stays the user's choice.
bool StartSelectedMicBridge();
bool IsMicBridgeRunning();

// One packet's channel choice: true for channel 2.
bool UseSecondChannel(uint32_t channels, int32_t mode, float peakCh1, float peakCh2);
