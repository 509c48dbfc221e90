#include "devices/studio_switches.h"

#include <chrono>
#include <thread>

#include "devices/mic_bridge.h"
#include "devices/mic_source_policy.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/engine_params.h"

namespace {
constexpr uint32_t kFallbackBufferFrames = 128;

int IndexOfDriver(uint32_t id) {
    const std::vector<AsioDriverEntry>& list = studioHost.asioDrivers;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

// Points the stream at a listed driver with its input rule; the stream is closed.
void AimAtDriver(int index) {
    const AsioDriverEntry& entry = studioHost.asioDrivers[index];
    studioHost.currentDeviceId = entry.id;
    studioHost.studioOutputParams.deviceId = entry.id;
    BuildStudioInput(entry.id, entry.name, static_cast<uint32_t>(entry.inputChannels));
}

void RestorePreviousDriver(int previousIndex, StudioSwitch& result) {
    AimAtDriver(previousIndex);
    studioHost.currentDriverIndex = previousIndex;
    if (!OpenAndStartStudio(result.restoreReason)) {
        result.silent = true;
        return;
    }
    result.restored = true;
    ApplyMicSourcePolicy(studioHost.asioDrivers[previousIndex].name);
}
}  // namespace

bool StudioStreamInReach() { return studioHost.asioAvailable && DriverHostExists() && !miniPlayerActive; }

StudioSwitch SwitchStudioMode(int32_t mode) {
    StudioSwitch result;
    BridgeSourceOff();
    const int32_t oldMode = engine.studioMode.load();
    engine.studioMode = mode;
    result.done = true;
    if (StudioStreamInReach() && !ReopenStudioStream()) {
        engine.studioMode = oldMode;
        result.done = false;
        result.restored = ReopenStudioStream();
        result.silent = !result.restored;
    }
    return result;
}

StudioSwitch ChangeBufferFrames(uint32_t frames) {
    StudioSwitch result;
    CloseStudioStream();
    studioHost.studioBufferFrames = frames;
    if (OpenAndStartStudio(result.reason)) {
        result.done = true;
        return result;
    }
    studioHost.studioBufferFrames = kFallbackBufferFrames;
    result.restored = OpenAndStartStudio(result.restoreReason);
    result.silent = !result.restored;
    return result;
}

StudioSwitch SwitchDriver(uint32_t deviceId, bool& unknown) {
    StudioSwitch result;
    const int index = IndexOfDriver(deviceId);
    const int previousIndex = IndexOfDriver(studioHost.currentDeviceId);
    unknown = index < 0;
    if (unknown) return result;
    BridgeSourceOff();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    CloseStudioStream();
    AimAtDriver(index);
    if (OpenAndStartStudio(result.reason)) {
        studioHost.currentDriverIndex = index;
        ApplyMicSourcePolicy(studioHost.asioDrivers[index].name);
        result.done = true;
        return result;
    }
    if (previousIndex >= 0) RestorePreviousDriver(previousIndex, result);
    return result;
}

bool CloseLostStudioStream(std::string& reason) {
    if (!IsDriverStreamRunning() || !DriverStreamFailed(reason)) return false;
    CloseStudioStream();
    BridgeSourceOff();
    engine.inputChannels = 0;
    return true;
}
