// The beat road on the PulseAudio test server: a signal played into the
// cable with pacat is captured, key-shifted and played by the Mini output
// on a speaker sink, whose monitor parec records. Run by scripts/test.sh.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "devices/endpoint_selection.h"
#include "devices/beat_capture.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/audio_streams.h"
#include "tests/support/private_server.h"
#include "tests/support/shell.h"
#include "tests/support/stolen_time.h"
#include "tools/synth/signals.h"

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A background shell command, ended with its process group.
struct Background {
    pid_t pid = -1;
    explicit Background(const std::string& command) {
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    bool Running() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == pid) pid = -1;
        return pid > 0;
    }
    void Stop() {
        if (pid <= 0) return;
        kill(-pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~Background() { Stop(); }
};

class BeatRoad : public ::testing::Test {
protected:
    fs::path dir;
    double stolen = 0.0;  // of the CPU time during the last Run
    void SetUp() override {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "start the test server first (scripts/test.sh does)";
        dir = fs::temp_directory_path() / ("sonavela-beat-road-" + std::to_string(getpid()));
        fs::create_directories(dir);
        InitEngine();
        InitBeatCapture();
        miniPlayerActive = true;
        appConfig = AppConfig{};
    }
    void TearDown() override {
        StopMiniOutput();
        CloseBeatCapture();
        SetBeatTone(0.0f);
        fs::remove_all(dir);
    }

    // Plays `synth` (sox synth arguments) into the cable while the road runs
    // for `seconds` to `output`; returns the left channel of that sink's monitor.
    std::vector<float> Run(const std::string& synth, double seconds, float tone, bool bluetooth,
                           const std::string& playInto = "CABLE_Input", std::chrono::milliseconds pumpEvery = 16ms) {
        const std::string output = "Speakers_Builtin";
        const CpuTimes cpu = ReadCpuTimes();
        EXPECT_EQ(SetBeatTone(tone), tone);
        EXPECT_TRUE(OpenBeatCapture());
        ResetBeatRing();
        SetBeatPrefill(bluetooth ? 4800 : 1920);
        EXPECT_TRUE(OpenMiniOutput(output, bluetooth));
        const std::string recording = (dir / "out.raw").string();
        Background record("exec parec -d " + output + ".monitor --format=float32le --rate=48000 --channels=2 --raw > " +
                          recording);
        std::this_thread::sleep_for(300ms);
        Background play("sox -n -t raw -r 48000 -c 2 -e floating-point -b 32 - " + synth +
                        " | pacat --playback -d " + playInto + " --format=float32le --rate=48000 --channels=2 --raw");
        // Until the signal has been played, and then long enough for the road to deliver its end.
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds) + 10s;
        bool playing = true;
        while (std::chrono::steady_clock::now() < end) {
            PumpBeat();
            std::this_thread::sleep_for(pumpEvery);
            if (playing && !play.Running()) {
                playing = false;
                end = std::chrono::steady_clock::now() + 1s;
            }
        }
        play.Stop();
        record.Stop();
        stolen = StolenShareSince(cpu);
        std::ifstream f(recording, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(f), {}};
        std::vector<float> left;
        for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            float v;
            std::memcpy(&v, bytes.data() + i, 4);
            left.push_back(v);
        }
        return left;
    }

    static std::pair<size_t, size_t> Audible(const std::vector<float>& x, float threshold = 1e-3f) {
        size_t first = x.size(), last = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            if (std::fabs(x[i]) > threshold) {
                first = std::min(first, i);
                last = i;
            }
        }
        return {first, last};
    }
};

TEST_F(BeatRoad, TwoSemitonesUpForTwentySecondsKeepsPitchLevelAndTempoWithoutGaps) {
    engine.beatVolume = 0.5f;
    const std::vector<float> out = Run("synth 20 sine 440 vol 0.5", 21.5, 2.0f, false);
    SKIP_WHEN_TIME_WAS_STOLEN(stolen);
    const auto [first, last] = Audible(out);
    ASSERT_LT(first, last);
    // The tone lasts as long as it was played: the tempo is unchanged.
    EXPECT_NEAR(static_cast<double>(last - first), 20.0 * 48000, 0.005 * 20 * 48000);
    const size_t from = first + 24000, to = last - 4800;
    EXPECT_NEAR(EstimateFrequency(out, from, to), 493.88, 1.0);
    float peak = 0.0f;
    size_t quiet = 0, longestQuiet = 0, quietEnd = 0;
    for (size_t i = from; i < to; ++i) {
        peak = std::max(peak, std::fabs(out[i]));
        quiet = std::fabs(out[i]) < 1e-4f ? quiet + 1 : 0;
        if (quiet > longestQuiet) quietEnd = i;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_NEAR(peak, 0.25f, 0.0125f);  // the tone's 0.5 at a beat volume of 50 %
    EXPECT_LE(longestQuiet, 240u) << "a dropout of " << longestQuiet / 48.0 << " ms at "
                                  << (quietEnd - first) / 48000.0 << " s; silent passes "
                                  << miniOutput.silentPasses.load() << ", trimmed " << beatCapture.samplesTrimmed;
    EXPECT_GT(beatCapture.framesCaptured, 19u * 48000);
    EXPECT_EQ(miniOutput.streamLost.load(), false);
}

TEST_F(BeatRoad, AClickTrackKeepsItsPeriodThroughTheShifter) {
    engine.beatVolume = 1.0f;
    // A click every half second: a 2 ms burst of 1 kHz, then silence.
    const std::vector<float> out =
        Run("synth 0.002 sine 1000 vol 0.8 pad 0 0.498 repeat 19", 11.0, 2.0f, false);
    SKIP_WHEN_TIME_WAS_STOLEN(stolen);
    std::vector<size_t> onsets;
    for (size_t i = 0; i < out.size(); ++i) {
        if (std::fabs(out[i]) > 0.2f && (onsets.empty() || i - onsets.back() > 12000)) onsets.push_back(i);
    }
    ASSERT_GE(onsets.size(), 15u);
    const double period = static_cast<double>(onsets.back() - onsets.front()) / static_cast<double>(onsets.size() - 1);
    EXPECT_NEAR(period, 24000.0, 0.005 * 24000);
}

// Reported, not judged: time from the cable to the speaker, measured by
// playing one click into both through a combined sink and recording the
// speaker, which then holds the direct click and the road's.
TEST_F(BeatRoad, LatencyFromTheCableToTheSpeakerIsReported) {
    const std::string module = Shell(
        "pactl load-module module-combine-sink sink_name=click_split slaves=CABLE_Input,Speakers_Builtin "
        "sink_properties=device.description=click_split");
    ASSERT_FALSE(module.empty());
    engine.beatVolume = 0.5f;
    const std::pair<bool, std::chrono::milliseconds> cases[] = {{false, 16ms}, {true, 16ms}, {false, 5ms}};
    for (const auto& [bluetooth, pumpEvery] : cases) {
        const std::vector<float> out =
            Run("synth 0.002 sine 1000 vol 0.9 pad 0.5 0.5 repeat 3", 6.0, 1.0f, bluetooth, "click_split", pumpEvery);
        std::vector<size_t> direct, road;
        for (size_t i = 0; i < out.size(); ++i) {
            const float v = std::fabs(out[i]);
            if (v > 0.6f && (direct.empty() || i - direct.back() > 24000)) direct.push_back(i);
            if (v > 0.15f && v < 0.55f && !direct.empty() && (road.empty() || road.back() < direct.back()) &&
                i > direct.back() + 96) {
                road.push_back(i);
            }
        }
        ASSERT_FALSE(direct.empty());
        ASSERT_FALSE(road.empty());
        const double ms = static_cast<double>(road.front() - direct.front()) / 48.0;
        const double shifter = BeatShifterInitialLatencyFrames() / 48.0;
        std::printf("[ LATENCY  ] %s profile, a pump every %d ms: cable to speaker %.1f ms, of which SoundTouch %.1f ms\n",
                    bluetooth ? "Bluetooth" : "wired", static_cast<int>(pumpEvery.count()), ms, shifter);
        EXPECT_LT(ms, 1000.0);
    }
    Shell("pactl unload-module " + module);
}

// Loads a null sink for one test; unloaded at the end unless the test already did.
struct TemporarySink {
    std::string module;
    TemporarySink(const std::string& name, const std::string& description) {
        module = Shell("pactl load-module module-null-sink sink_name=" + name +
                       " rate=48000 \"sink_properties=\\\"device.description='" + description + "'\\\"\"");
        while (!module.empty() && module.back() == '\n') module.pop_back();
    }
    void Unload() {
        if (!module.empty()) Shell("pactl unload-module " + module);
        module.clear();
    }
    ~TemporarySink() { Unload(); }
};

TEST_F(BeatRoad, AnOutputRemovedWhilePlayingIsToldAndTheNextOpenFallsBack) {
    TemporarySink speaker("Loa_Tam", "Loa tạm thời");
    ASSERT_FALSE(speaker.module.empty());
    RefreshOutputEndpoints();
    bool listed = false;
    for (const AudioEndpoint& e : endpointLists.outputEndpoints) listed = listed || e.name == "Loa tạm thời";
    EXPECT_TRUE(listed) << "the Vietnamese name did not come back as it was given";
    ASSERT_TRUE(OpenMiniOutput("Loa_Tam", false));
    EXPECT_EQ(miniOutput.openedId, "Loa_Tam");
    speaker.Unload();
    for (int i = 0; i < 300 && IsMiniOutputRunning(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(IsMiniOutputRunning());
    EXPECT_TRUE(miniOutput.streamLost.load());
    StopMiniOutput();
    ASSERT_TRUE(OpenMiniOutput("Loa_Tam", false));
    EXPECT_EQ(miniOutput.openedId, "Speakers_Builtin");
    appConfig.miniOutputId = "Loa_Tam";
    RefreshOutputEndpoints();
    ASSERT_NE(SelectedOutput(), nullptr);
    EXPECT_EQ(SelectedOutput()->id, "Speakers_Builtin");
}

TEST_F(BeatRoad, TheCableAsTheDefaultOutputIsNeverPlayedInto) {
    const std::string previous = Shell("pactl get-default-sink");
    Shell("pactl set-default-sink CABLE_Input");
    const bool opened = OpenMiniOutput("", false);
    const std::string openedId = miniOutput.openedId;
    StopMiniOutput();
    const bool picked = OpenMiniOutput("CABLE_Input", true);
    const std::string pickedId = miniOutput.openedId;
    Shell("pactl set-default-sink " + previous);
    EXPECT_TRUE(opened);
    EXPECT_NE(openedId, "CABLE_Input");
    EXPECT_FALSE(openedId.empty());
    EXPECT_TRUE(picked);
    EXPECT_NE(pickedId, "CABLE_Input");
}

TEST_F(BeatRoad, ACaptureWhoseOutputIsRemovedReportsTheLoss) {
    TemporarySink cable("Spare_Cable", "CABLE Spare");
    ASSERT_FALSE(cable.module.empty());
    std::string reason;
    CaptureStream* stream = OpenCaptureStream("Spare_Cable", true, StreamFormat{}, 2400, reason);
    ASSERT_NE(stream, nullptr) << reason;
    const void* data = nullptr;
    uint32_t frames = 0;
    EXPECT_TRUE(PeekCapturePacket(stream, data, frames));
    cable.Unload();
    bool lost = false;
    for (int i = 0; i < 300 && !lost; ++i) {
        lost = !PeekCapturePacket(stream, data, frames);
        if (!lost && frames > 0) ReleaseCapturePacket(stream);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(lost);
    CloseCaptureStream(stream);
    EXPECT_EQ(OpenCaptureStream("Spare_Cable", true, StreamFormat{}, 2400, reason), nullptr);
    EXPECT_NE(reason.find("Spare_Cable"), std::string::npos) << reason;
}
// A server of this test's own, so stopping it leaves the shared one alone.
TEST_F(BeatRoad, AServerRestartIsToldAndTheNextOpensWork) {
    PrivateServer server(dir / "server");
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(OpenBeatCapture());
    ASSERT_TRUE(OpenMiniOutput("Speakers_Builtin", false));
    server.Stop();
    for (int i = 0; i < 300 && (beatCapture.beatCaptureReady || IsMiniOutputRunning()); ++i) {
        PumpBeat();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(beatCapture.beatCaptureReady);
    EXPECT_EQ(beatCapture.streamsLost, 1u);
    EXPECT_FALSE(IsMiniOutputRunning());
    EXPECT_TRUE(miniOutput.streamLost.load());
    StopMiniOutput();
    EXPECT_FALSE(OpenBeatCapture());  // nobody to ask: a prompt no
    EXPECT_FALSE(OpenMiniOutput("Speakers_Builtin", false));

    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(OpenBeatCapture());
    EXPECT_TRUE(OpenMiniOutput("Speakers_Builtin", false));
    EXPECT_EQ(miniOutput.openedId, "Speakers_Builtin");
    StopMiniOutput();
    CloseBeatCapture();
}
}  // namespace
