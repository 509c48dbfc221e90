#pragma once
// A device test starts from an empty scripted machine, a fresh engine, the
// default settings and no endpoint lists; `Eventually` waits for what a
// device thread does, for at most two seconds.

#include <chrono>
#include <functional>
#include <thread>

#include "devices/audio_endpoints.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/scripted/scripted_platform.h"

inline void ResetDeviceWorld() {
    ResetScriptedPlatform();
    InitEngine();
    appConfig = DefaultAppConfig();
    endpointLists = EndpointLists{};
}

inline bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}
