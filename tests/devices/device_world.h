#pragma once
// A device test starts from an empty scripted machine, a fresh engine, the
// default settings and no endpoint lists; `Eventually` waits for what a
// device thread does, for at most two seconds.

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/device_actions.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/mini_output.h"
#include "app/host_requests.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/scripted/scripted_platform.h"
#include "tests/persistence/fresh_process.h"

inline void ResetDeviceWorld() {
    ResetScriptedPlatform();
    InitEngine();
    appConfig = DefaultAppConfig();
    endpointLists = EndpointLists{};
    studioHost = StudioHost{};
    hostRequests.requestedStudioMode = -1;
    hostRequests.requestedBufferFrames = 0;
    hostRequests.requestedAsioDevice = -1;
    miniPlayerActive = false;
    std::filesystem::remove(ConfigPath());
}

// One value of the config file as the next start would read it.
inline std::string StoredConfigValue(const std::string& key) {
    const std::string text = ReadFile(ConfigPath());
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos && text.rfind(key + "=", 0) != 0) return "<not saved>";
    const size_t start = (at == std::string::npos ? 0 : at + 1) + key.size() + 1;
    return text.substr(start, text.find('\n', start) - start);
}

inline bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

// The device operations as the application runs them: the config's choices
// handed over, what the operation chose kept in the config.
inline void RefreshOutputsAsApp() { RunDeviceOperation([] { RefreshOutputEndpoints(); return 0; }); }
inline void RefreshInputsAsApp() { RunDeviceOperation([] { RefreshInputEndpoints(); return 0; }); }
inline bool StartBridgeAsApp() { return RunDeviceOperation(StartSelectedMicBridge); }
inline bool OpenMiniOutputAsApp() { return RunDeviceOperation(OpenSelectedMiniOutput); }
