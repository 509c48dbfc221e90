#pragma once
// The scripted machine for the device and application tests: an empty machine, a fresh engine, default settings.
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "app/device_actions.h"
#include "app/host_requests.h"
#include "app/notices.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "platform/scripted/scripted_platform.h"
#include "tests/persistence/fresh_process.h"

inline const AudioEndpoint kSpeakers{"Speakers_Builtin", "Speakers (High Definition Audio)"};
inline const AudioEndpoint kK10Output{"Speakers_XOX", "Speakers (XOX K10 Audio)"};
inline const AudioEndpoint kCable{"CABLE_Input", "CABLE Input (VB-Audio Virtual Cable)"};
inline const AudioEndpoint kHeadphones{"bt_headphones", "Tai nghe Bluetooth của Hùng"};
inline const AudioEndpoint kUsbMic{"USB_Mic", "Microphone (USB Audio Device)"};
inline const AudioEndpoint kCableCapture{"CABLE_Output", "CABLE Output (VB-Audio Virtual Cable)"};
inline const AudioEndpoint kStereoMix{"mix", "Stereo Mix (Realtek Audio)"};

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
    const std::string text = "\n" + ReadFile(ConfigPath());
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "<not saved>";
    const size_t start = at + key.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}
// Waits for what a device thread does, for at most two seconds.
inline bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}
inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// A device operation as the application runs it: the config's choices in, what they chose kept.
inline void AsApp(void (*operation)()) {
    RunDeviceOperation([operation] {
        operation();
        return 0;
    });
}

// Low-latency drivers over the speakers, the cable's capture side and a USB microphone.
class StudioWorld : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override { ShutDownStudioAudio(); }
    static void Fresh() {
        ShutDownStudioAudio();
        ResetDeviceWorld();
        scripted.render.endpoints = {kSpeakers};
        scripted.render.defaultId = kSpeakers.id;
        scripted.capture.endpoints = {kCableCapture, kUsbMic};
        scripted.driverHost.drivers.reserve(16);  // AddDriver's references stay valid
    }
    static ScriptedDriver& AddDriver(const std::string& name, uint32_t inputs = 2, uint32_t outputs = 2,
                                     bool generic = false) {
        ScriptedDriver& d = scripted.driverHost.drivers.emplace_back();
        d.name = name;
        d.inputs = inputs;
        d.outputs = outputs;
        d.generic = generic;
        return d;
    }
    // What the console said while `step` and then the notices it queued ran, as the shell runs them.
    static std::string ConsoleOf(const std::function<void()>& step) {
        ::testing::internal::CaptureStdout();
        step();
        ShowPendingNotices();
        return ::testing::internal::GetCapturedStdout();
    }
    static std::string BringUp() { return ConsoleOf(StartStudioAudio); }
    static std::string Frame() { return ConsoleOf(HandleHostRequests); }
    static std::vector<std::string>& Calls() { return scripted.driverHost.calls; }
    static std::string RunningDriver() {
        const ScriptedDriverHost& host = scripted.driverHost;
        return host.running ? host.drivers[host.output.deviceId].name : "<none>";
    }
};
