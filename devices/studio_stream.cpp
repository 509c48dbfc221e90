#include <algorithm>
#include <chrono>
#include <thread>

#include "devices/endpoint_selection.h"
#include "devices/mic_source_policy.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/engine_params.h"
#include "engine/studio_callback.h"
#include "platform/utf8_text.h"

namespace {
constexpr uint32_t kSampleRate = 48000;
}

void BuildStudioInput(uint32_t driverId, const std::string& driverName, uint32_t driverInputs) {
    studioHost.studioInputUsed = false;
    engine.inputChannels = 0;
    RefreshOutputEndpoints();  // a K10 plugged in since the last look counts
    if (IsAsio4AllWithK10(driverName)) return;  // K10 compatibility: output only
    if (engine.studioMode.load() != 0 || driverInputs == 0) return;
    const uint32_t channels = std::min(2u, driverInputs);
    studioHost.studioInputParams = DriverChannels{driverId, channels, 0};
    studioHost.studioInputUsed = true;
    engine.inputChannels = static_cast<int32_t>(channels);
}

bool OpenAndStartStudio(std::string& reason) {
    const DriverChannels* input = studioHost.studioInputUsed ? &studioHost.studioInputParams : nullptr;
    if (!OpenDriverStream(studioHost.studioOutputParams, input, kSampleRate, studioHost.studioBufferFrames,
                          StudioCallback, reason))
        return false;
    if (StartDriverStream(reason)) return true;
    CloseDriverStream();
    return false;
}

void CloseStudioStream() {
    std::string ignored;
    if (IsDriverStreamRunning()) StopDriverStream(ignored);
    if (IsDriverStreamOpen()) CloseDriverStream();
}

bool ReopenStudioStream() {
    if (!DriverHostExists()) return false;
    CloseStudioStream();
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    DriverInfo info;
    std::string reason;
    const uint32_t id = studioHost.studioOutputParams.deviceId;
    if (!GetDriverInfo(id, info, reason) || info.outputChannels < 2) {
        engine.inputChannels = 0;
        return false;
    }
    const std::string name = TruncateUtf8(info.name, kDriverNameBytes);
    BuildStudioInput(id, name, info.inputChannels);
    if (!OpenAndStartStudio(reason)) {
        engine.inputChannels = 0;
        return false;
    }
    ApplyMicSourcePolicy(name);
    return true;
}
