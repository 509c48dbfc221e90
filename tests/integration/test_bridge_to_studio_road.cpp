// The generic driver's whole vocal road on a private PulseAudio server with
// no K10: a burst played into the sink behind the test microphone goes
// through the Direct Mic Bridge and the Studio callback to the Studio
// output. A combined sink plays each burst into the microphone's sink and
// the output's sink at once, so the output's monitor holds the burst
// itself and, one road's latency later, its bridged copy.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/device_actions.h"
#include "app/notices.h"
#include "devices/mic_bridge.h"
#include "devices/studio_stream.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/audio_streams.h"
#include "tests/support/private_server.h"
#include "tests/support/shell.h"

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr double kRate = 48000.0;

// The left channel of an output's monitor, read on a thread of its own.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const std::string& sinkId) {
        std::string reason;
        stream = OpenCaptureStream(sinkId, true, StreamFormat{}, 480, reason);
        if (stream != nullptr) thread = std::thread([this] { Record(); });
    }
    bool Ok() const { return stream != nullptr; }
    std::vector<float> Stop() {
        running = false;
        if (thread.joinable()) thread.join();
        CloseCaptureStream(stream);
        stream = nullptr;
        return left;
    }
    ~MonitorRecorder() { Stop(); }

private:
    void Record() {
        while (running) {
            const void* data = nullptr;
            uint32_t frames = 0;
            if (!PeekCapturePacket(stream, data, frames)) return;
            if (frames == 0) {
                std::this_thread::sleep_for(2ms);
                continue;
            }
            const float* samples = static_cast<const float*>(data);
            for (uint32_t i = 0; i < frames; ++i) left.push_back(samples != nullptr ? samples[2 * i] : 0.0f);
            ReleaseCapturePacket(stream);
        }
    }
    CaptureStream* stream = nullptr;
    std::atomic<bool> running{true};
    std::thread thread;
    std::vector<float> left;
};

std::string ModuleOf(const std::string& sinkName) {
    std::string line = Shell("pactl list short modules | grep 'sink_name=" + sinkName + " ' | cut -f1");
    while (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

// First sample at or after `from` whose level reaches `threshold`.
size_t OnsetAfter(const std::vector<float>& x, size_t from, float threshold) {
    for (size_t i = from; i < x.size(); ++i) {
        if (std::fabs(x[i]) >= threshold) return i;
    }
    return x.size();
}

// Stretches of eight silent samples: the microphone missing from a steady tone.
size_t SilentRuns(const std::vector<float>& x, size_t from, size_t to) {
    size_t runs = 0;
    size_t quiet = 0;
    for (size_t i = from; i < to; ++i) {
        quiet = std::fabs(x[i]) < 1e-4f ? quiet + 1 : 0;
        if (quiet == 8) ++runs;
    }
    return runs;
}

class BridgeToStudio : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        const std::string k10 = ModuleOf("Speakers_XOX");
        ASSERT_FALSE(k10.empty());
        Shell("pactl unload-module " + k10);
        Shell("pactl load-module module-combine-sink sink_name=both slaves=mic_feed,Speakers_Builtin rate=48000 "
              ">/dev/null");
        setenv("SONAVELA_NO_MESSAGE_BOX", "1", 1);
        InitEngine();
        engine.reverbLevel = 0.0f;  // a dry road: the bridged copy starts where its burst does
        engine.echoLevel = 0.0f;
        appConfig = DefaultAppConfig();
        appConfig.asioDeviceName = "Speakers (High Definition Audio)";
    }
    void TearDown() override { ShutDownStudioAudio(); }

    PrivateServer server{fs::temp_directory_path() / ("sonavela-bridge-road-" + std::to_string(getpid()))};
};

TEST_F(BridgeToStudio, TheMicrophoneArrivesAtTheStudioOutputWithinTheBridgesBacklog) {
    StartStudioAudio();
    ASSERT_TRUE(IsDriverStreamRunning());
    ASSERT_TRUE(IsMicBridgeRunning()) << "the generic driver without a K10 bridges the microphone";
    EXPECT_EQ(engine.inputChannels.load(), 0);
    std::this_thread::sleep_for(500ms);

    MonitorRecorder recorder("Speakers_Builtin");
    ASSERT_TRUE(recorder.Ok());
    const uint64_t underrunsBefore = engine.bridgeUnderruns.load();
    // Six 30 ms bursts of 1 kHz, 1.2 s apart, then a 2 s tone.
    Shell("sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 0.03 sine 1000 vol 0.5 pad 0.3 0.87 repeat 5 "
          "| pacat --playback -d both --format=float32le --rate=48000 --channels=2 --raw >/dev/null 2>&1");
    uint32_t worstFill = 0;
    const auto toneEnd = std::chrono::steady_clock::now() + 2500ms;
    std::thread tone([] {
        Shell("sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - synth 2 sine 440 vol 0.3 | pacat --playback -d "
              "mic_feed --format=float32le --rate=48000 --channels=2 --raw >/dev/null 2>&1");
    });
    while (std::chrono::steady_clock::now() < toneEnd) {
        worstFill = std::max(worstFill, engine.bridgeFillFrames.load());
        std::this_thread::sleep_for(1ms);
    }
    tone.join();
    const uint64_t underruns = engine.bridgeUnderruns.load() - underrunsBefore;
    const std::vector<float> heard = recorder.Stop();
    ASSERT_GT(heard.size(), static_cast<size_t>(8 * kRate));

    std::vector<double> latenciesMs;
    size_t at = 0;
    while (latenciesMs.size() < 6) {
        const size_t burst = OnsetAfter(heard, at, 0.25f);
        if (burst >= heard.size()) break;
        const size_t copy = OnsetAfter(heard, burst + static_cast<size_t>(0.035 * kRate), 0.01f);
        if (copy >= burst + static_cast<size_t>(0.6 * kRate)) break;
        latenciesMs.push_back(1000.0 * static_cast<double>(copy - burst) / kRate);
        at = burst + static_cast<size_t>(1.0 * kRate);
    }
    ASSERT_EQ(latenciesMs.size(), 6u) << "every burst and its bridged copy were heard";
    const size_t toneStart = OnsetAfter(heard, at + static_cast<size_t>(0.2 * kRate), 0.01f);
    const size_t gaps = SilentRuns(heard, toneStart, std::min(heard.size(), toneStart + static_cast<size_t>(1.8 * kRate)));
    double worst = 0;
    for (double ms : latenciesMs) worst = std::max(worst, ms);
    std::printf("[road] microphone to Studio output on the generic driver: %.1f %.1f %.1f %.1f %.1f %.1f ms; "
                "bridge backlog at most %u frames; %llu underruns; %zu gaps in the bridged tone\n",
                latenciesMs[0], latenciesMs[1], latenciesMs[2], latenciesMs[3], latenciesMs[4], latenciesMs[5],
                worstFill, static_cast<unsigned long long>(underruns), gaps);
    EXPECT_TRUE(gaps == 0 || underruns > 0) << "a gap the microphone's counter did not see";
    EXPECT_LT(worst, 250.0);
    EXPECT_LE(worstFill, EngineParams::bridgeLatencyCut + 1024) << "the cut holds the microphone's backlog";
    EXPECT_GT(engine.bridgeFramesCaptured.load(), 0u);
}
}  // namespace
