#include "devices/mic_bridge.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>
#include <vector>

#include "devices/device_choices.h"
#include "devices/endpoint_selection.h"
#include "engine/bridge_ring.h"
#include "engine/engine_params.h"
#include "engine/meters.h"
#include "platform/audio_endpoints.h"
#include "platform/thread_name.h"
#include "platform/thread_priority.h"

MicBridge micBridge;

namespace {
constexpr uint32_t kBufferFrames = 1440;  // 30 ms
constexpr float kChannelMeterDecay = 0.92f;

// Splits one packet into its first two channels (clamped; a mono packet gives
// the same samples twice) and returns their peaks.
void SplitChannels(const float* data, uint32_t frames, uint32_t channels, std::vector<float>& a,
                   std::vector<float>& b, float& peakA, float& peakB) {
    a.resize(frames);
    b.resize(frames);
    peakA = peakB = 0.0f;
    for (uint32_t i = 0; i < frames; ++i) {
        const float first = data != nullptr ? std::clamp(data[size_t{i} * channels], -1.0f, 1.0f) : 0.0f;
        const float second =
            data != nullptr && channels >= 2 ? std::clamp(data[size_t{i} * channels + 1], -1.0f, 1.0f) : first;
        a[i] = first;
        b[i] = second;
        peakA = std::max(peakA, std::fabs(first));
        peakB = std::max(peakB, std::fabs(second));
    }
}

void TakePacket(const float* data, uint32_t frames, uint32_t channels, std::vector<float>& a, std::vector<float>& b) {
    float peakA = 0.0f, peakB = 0.0f;
    SplitChannels(data, frames, channels, a, b, peakA, peakB);
    const int32_t mode = micBridge.bridgeChannelMode.load(std::memory_order_relaxed);
    const bool second = UseSecondChannel(channels, mode, peakA, peakB);
    UpdateMeter(micBridge.bridgePeakCh1, peakA, kChannelMeterDecay);
    UpdateMeter(micBridge.bridgePeakCh2, peakB, kChannelMeterDecay);
    WriteBridgeRing(second ? b.data() : a.data(), frames);
}

// A lost endpoint ends the bridge: the callback goes back to the sound card's inputs.
void LoseDevice() {
    engine.micBridgeEnabled.store(false, std::memory_order_release);
    engine.micBridgeRunning.store(false, std::memory_order_release);
    micBridge.deviceLost.store(true);
    micBridge.running.store(false, std::memory_order_release);
}

void BridgeThread(CaptureStream* stream, uint32_t channels) {
    NameThisThread("sonavela-mic");
    RaiseThisThreadPriority();
    std::vector<float> a, b;
    while (micBridge.running.load(std::memory_order_acquire)) {
        const void* data = nullptr;
        uint32_t frames = 0;
        if (!PeekCapturePacket(stream, data, frames)) {
            LoseDevice();
            return;
        }
        if (frames == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        TakePacket(static_cast<const float*>(data), frames, channels, a, b);
        ReleaseCapturePacket(stream);
    }
}

std::string EndpointName(const std::string& id) {
    for (const AudioEndpoint& e : endpointLists.inputEndpoints) {
        if (e.id == id) return e.name;
    }
    return id;
}

void ResetMeters() {
    ResetBridgeRing();
    micBridge.bridgePeakCh1 = 0.0f;
    micBridge.bridgePeakCh2 = 0.0f;
    micBridge.bridgeDeviceChannels = 0;
}
}  // namespace

bool UseSecondChannel(uint32_t channels, int32_t mode, float peakCh1, float peakCh2) {
    return channels >= 2 && mode != 1 && (mode == 2 || peakCh1 < peakCh2);
}

bool OpenMicBridge(const std::string& endpointId) {
    StopMicBridge();
    ResetMeters();
    uint32_t channels = 0;
    std::string reason;
    if (endpointId.empty() || !CaptureEndpointChannels(endpointId, channels, reason)) return false;
    micBridge.format = StreamFormat{};
    micBridge.format.channels = std::clamp(channels, 1u, 2u);
    micBridge.stream = OpenCaptureStream(endpointId, false, micBridge.format, kBufferFrames, reason);
    if (micBridge.stream == nullptr) return false;
    micBridge.openedId = endpointId;
    micBridge.deviceName = EndpointName(endpointId);
    micBridge.deviceLost = false;
    micBridge.bridgeDeviceChannels = micBridge.format.channels;
    micBridge.running.store(true, std::memory_order_release);
    try {
        micBridge.thread = std::thread(BridgeThread, micBridge.stream, micBridge.format.channels);
    } catch (const std::system_error&) {
        StopMicBridge();
        return false;
    }
    return true;
}

void StopMicBridge() {
    micBridge.running.store(false, std::memory_order_release);
    if (micBridge.thread.joinable()) micBridge.thread.join();
    CloseCaptureStream(micBridge.stream);
    micBridge.stream = nullptr;
    micBridge.deviceName.clear();
    micBridge.openedId.clear();
    FlushBridgeRing();
    engine.micBridgeRunning.store(false, std::memory_order_release);
    micBridge.bridgeDeviceChannels = 0;
}

void BridgeSourceOff() {
    // The callback stops reading the bridge before its producer goes away.
    engine.micBridgeEnabled.store(false, std::memory_order_release);
    engine.micBridgeRunning.store(false, std::memory_order_release);
    StopMicBridge();
}

bool StartSelectedMicBridge() {
    const std::string stored = deviceChoices.micInputId;
    RefreshInputEndpoints();
    const AudioEndpoint* selected = SelectedInput();
    if (selected == nullptr) return false;
    const bool pickedByScore = stored.empty() || selected->id != stored;
    if (pickedByScore && ScoreMicName(selected->name) <= -1000) {
        deviceChoices.micInputId = stored;  // so a real microphone plugged in later still wins
        return false;
    }
    micBridge.bridgeChannelMode = std::clamp(deviceChoices.micChannel, 0, 2);
    const std::string id = selected->id;
    if (!OpenMicBridge(id)) return false;
    deviceChoices.micInputId = id;
    deviceChoices.saveWanted = true;
    return true;
}

bool IsMicBridgeRunning() { return micBridge.running.load(std::memory_order_acquire); }
