#pragma once
// A scripted machine with low-latency drivers for the host policy tests:
// drivers in any order and naming, K10 outputs and microphones present or
// not, and what the console said during a step.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/device_actions.h"
#include "app/host_requests.h"
#include "app/notices.h"
#include "devices/driver_preference.h"
#include "devices/mic_bridge.h"
#include "devices/studio_stream.h"
#include "devices/studio_host.h"
#include "tests/devices/device_world.h"

inline const AudioEndpoint kK10Output{"Speakers_XOX", "Speakers (XOX K10 Audio)"};
inline const AudioEndpoint kSpeakers{"Speakers_Builtin", "Speakers (High Definition Audio)"};
inline const AudioEndpoint kUsbMic{"USB_Mic", "Microphone (USB Audio Device)"};
inline const AudioEndpoint kCableCapture{"CABLE_Output", "CABLE Output (VB-Audio Virtual Cable)"};

class StudioWorld : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceWorld();
        scripted.render.endpoints = {kSpeakers};
        scripted.render.defaultId = kSpeakers.id;
        scripted.capture.endpoints = {kCableCapture, kUsbMic};
        scripted.driverHost.drivers.reserve(16);  // AddDriver's references stay valid
    }
    void TearDown() override { ShutDownStudioAudio(); }

    static ScriptedDriver& AddDriver(const std::string& name, uint32_t inputs = 2, uint32_t outputs = 2,
                                     bool generic = false) {
        ScriptedDriver driver;
        driver.name = name;
        driver.inputs = inputs;
        driver.outputs = outputs;
        driver.generic = generic;
        scripted.driverHost.drivers.push_back(driver);
        return scripted.driverHost.drivers.back();
    }
    // What the console said while `step` ran.
    static std::string ConsoleOf(const std::function<void()>& step) {
        ::testing::internal::CaptureStdout();
        step();
        return ::testing::internal::GetCapturedStdout();
    }
    // Start-up and a frame as the shell runs them: the operation, then the notices it queued.
    static std::string BringUp() {
        return ConsoleOf([] {
            StartStudioAudio();
            ShowPendingNotices();
        });
    }
    static std::string Frame() {
        return ConsoleOf([] {
            HandleHostRequests();
            ShowPendingNotices();
        });
    }
    static std::vector<std::string>& Calls() { return scripted.driverHost.calls; }
    static const std::string& RunningDriver() {
        static const std::string none = "<none>";
        const ScriptedDriverHost& host = scripted.driverHost;
        return host.running ? host.drivers[host.output.deviceId].name : none;
    }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};
