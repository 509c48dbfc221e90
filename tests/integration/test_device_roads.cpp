// The device layer on the test servers: the beat road, the Studio host, the bridged microphone.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/device_actions.h"
#include "app/host_requests.h"
#include "devices/beat_capture.h"
#include "devices/beat_pump.h"
#include "devices/mic_bridge.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "devices/studio_stream.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/studio_driver.h"
#include "tests/support/private_server.h"
#include "tools/synth/signals.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const std::string kSpeakers = "Speakers (High Definition Audio)";

// Whether over 5 % of the CPU time since the last call went to other guests ("steal" in /proc/stat).
bool TimeWasStolen() {
    static std::pair<unsigned long long, unsigned long long> last;
    std::ifstream stat("/proc/stat");
    stat.ignore(16, ' ');  // "cpu", then user nice system idle iowait irq softirq steal
    unsigned long long v = 0, steal = 0, total = 0;
    for (int i = 0; i < 8 && stat >> v; ++i) total += v, steal = v;
    const auto [stealBefore, totalBefore] = std::exchange(last, {steal, total});
    return total > totalBefore && (steal - stealBefore) * 20 > total - totalBefore;
}

class StudioRoad : public ::testing::Test {
protected:
    const std::filesystem::path dir = "/tmp/sonavela-road-" + std::to_string(getpid());
    void SetUp() override {
        ASSERT_TEST_SERVER();
        std::filesystem::create_directories(dir);
        setenv("SONAVELA_NO_MESSAGE_BOX", "1", 1);
        InitEngine(), InitBeatCapture();
        appConfig = DefaultAppConfig();
        miniPlayerActive = false;  // the beat road leaves it on
    }
    void TearDown() override {
        StopBeatPump(), ShutDownStudioAudio(), StopMiniOutput(), CloseBeatCapture(), SetBeatTone(0.0f);
        std::error_code leftBehind;  // a private server may still be writing its last files as it exits
        std::filesystem::remove_all(dir, leftBehind);
    }
    static std::string Running() {
        const int i = studioHost.currentDriverIndex;
        return IsDriverStreamRunning() && i >= 0 ? studioHost.asioDrivers[i].name : "<none>";
    }
    // Runs the frame loop for `length` or until the Studio stream, beat capture and Mini output are all shut.
    static bool ClosedWithin(std::chrono::milliseconds length) {
        const auto open = [] { return IsDriverStreamOpen() || beatCapture.beatCaptureReady || IsMiniOutputRunning(); };
        for (const auto end = Clock::now() + length; open() && Clock::now() < end;) {
            HandleHostRequests(), PumpBeat(), std::this_thread::sleep_for(10ms);
        }
        return !IsDriverStreamOpen();
    }
    // About the block rate within three seconds: the test server's null sinks stall a new stream at times.
    static void ExpectAudioRuns(const std::string& what) {
        const double perHalfSecond = 24000.0 / studioHost.studioBufferFrames;
        uint64_t blocks = 0;
        for (int window = 0; window < 6 && blocks < perHalfSecond * 0.6; ++window) {
            const uint64_t before = engine.callbackBlocks.load();
            blocks = (ClosedWithin(500ms), engine.callbackBlocks.load() - before);
        }
        EXPECT_TRUE(blocks >= perHalfSecond * 0.6 && blocks < perHalfSecond * 1.5) << blocks << " blocks " << what;
    }
};

using BeatRoad = StudioRoad;  // real-time judged: kept from sanitizer runs

// The beat road as the Mini Player runs it, in its own process on a server of this
// test's own: the cable is unloaded and loaded again while the beat plays; once the
// capture is back, 20 s of beat reach the speaker in key, level and tempo, without
// a gap over 1 ms, and the outage is counted.
TEST_F(BeatRoad, TwentySecondsAfterACableReloadKeepPitchLevelAndTempoWithoutGaps) {
    PrivateServer server{dir / "server"};
    ASSERT_TRUE(server.Start());
    const std::string cable =
        "module-null-sink sink_name=CABLE_Input rate=48000 channels=2 "
        "\"sink_properties=\\\"device.description='CABLE Input (VB-Audio Virtual Cable)'\\\"\"";
    const std::filesystem::path log = dir / "road.txt";
    const auto told = [&](const std::string& what) {
        std::ifstream in(log);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        size_t count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
        return std::make_pair(count, text);
    };
    MonitorRecording recording("Speakers_Builtin", dir / "out.raw");
    Background road(SONAVELA_BEAT_ROAD_PATH " --tone 2 --volume 50 --output Speakers_Builtin >" + log.string());
    std::this_thread::sleep_for(500ms);
    TimeWasStolen();
    PlayInto("CABLE_Input", "synth 2 sine 440 vol 0.5");
    Shell("pactl unload-module $(pactl list short modules | grep 'sink_name=CABLE_Input ' | cut -f1)");
    std::this_thread::sleep_for(500ms);
    ASSERT_NE(ShellWord("pactl load-module " + cable), "");
    for (int i = 0; i < 30 && told("[OK] capturing the cable").first < 2; ++i) std::this_thread::sleep_for(100ms);
    ASSERT_EQ(told("[OK] capturing the cable").first, 2u) << told("").second;
    PlayInto("CABLE_Input", "synth 20 sine 440 vol 0.5");
    std::this_thread::sleep_for(500ms);
    road.Stop();
    const std::vector<float> out = recording.Stop();
    const std::string text = told("").second;
    EXPECT_EQ(told("no output whose name contains CABLE").first, 1u) << text;
    const size_t totals = text.find("totals at the end:");
    ASSERT_NE(totals, std::string::npos) << text;
    unsigned long long silent = 0, reprimes = 0, lostCapture = 0, lostOutput = 0, lostServer = 0;
    const char* line = std::strstr(text.c_str() + totals, "silent passes");
    ASSERT_EQ(std::sscanf(line, "silent passes %llu re-primes %llu lost: capture %llu output %llu server %llu", &silent,
                          &reprimes, &lostCapture, &lostOutput, &lostServer),
              5)
        << text;
    EXPECT_TRUE(silent > 0 && reprimes > 0) << "the outage is counted: " << text;
    EXPECT_TRUE(lostCapture == 1 && lostOutput == 0 && lostServer == 0) << text;
    if (TimeWasStolen()) GTEST_SKIP() << "the host gave this machine's CPU time to other guests: real time not judged";
    // The beat after the reload: from the end of the longest silence, the outage.
    size_t first = 0, last = 0, quiet = 0, outage = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        quiet = std::fabs(out[i]) < 1e-4f ? quiet + 1 : 0;
        if (quiet == 0 && i - last - 1 > outage) outage = i - last - 1, first = i;
        if (quiet == 0) last = i;
    }
    ASSERT_LT(first + 48000, last);
    EXPECT_NEAR(static_cast<double>(last - first), 20.0 * 48000, 0.005 * 20 * 48000) << "the tempo changed";
    EXPECT_NEAR(EstimateFrequency(out, first + 24000, last - 4800), 493.88, 1.0);
    float peak = 0.0f;
    size_t longestQuiet = 0, gaps = 0;  // of over 1 ms
    quiet = 0;
    for (size_t i = first; i <= last; ++i) {
        if (i > first + 24000 && i + 4800 < last) peak = std::max(peak, std::fabs(out[i]));  // past the shifter's onset
        quiet = std::fabs(out[i]) < 1e-4f ? quiet + 1 : 0;
        gaps += quiet == 49;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_NEAR(peak, 0.25f, 0.0125f);  // the tone's 0.5 at a beat volume of 50 %
    EXPECT_LE(longestQuiet, 48u) << gaps << " gaps over 1 ms, the longest " << longestQuiet / 48.0 << " ms; " << text;
}

// The window's thread held for ten seconds, as a dialog or a slow disk holds it: the beat pump's own
// thread keeps the beat flowing to the Studio stream in BEAT ONLY and to the Mini output alike.
TEST_F(BeatRoad, TheBeatFlowsWhileTheWindowsThreadIsHeldForTenSeconds) {
    PrivateServer server{dir / "server"};
    ASSERT_TRUE(server.Start());
    StartBeatPump();
    RequestBeatTone(2.0f);  // handed to the pump's thread
    for (const bool mini : {false, true}) {
        SCOPED_TRACE(mini ? "the Mini output" : "the Studio stream in BEAT ONLY");
        if (mini) {
            appConfig.miniOutputId = "Speakers_Builtin";
            EnterMiniPlayer();
            miniPlayerActive = true;
            ASSERT_TRUE(RunDeviceOperation(OpenSelectedMiniOutput));
        } else {
            appConfig.asioDeviceName = kSpeakers;
            engine.studioMode = 1;
            StartStudioAudio();
            ASSERT_EQ(Running(), kSpeakers);
        }
        ASSERT_TRUE(OpenBeatCapture());
        MonitorRecording recording("Speakers_Builtin", dir / "out.raw");
        std::thread play([] { PlayInto("CABLE_Input", "synth 12 sine 440 vol 0.5"); });
        std::this_thread::sleep_for(1500ms);  // through the shifter and into a full ring
        TimeWasStolen();
        const uint64_t dryBefore = engine.beatRingReprimes + miniOutput.silentPasses;
        std::this_thread::sleep_for(10s);  // the window's thread, held
        const uint64_t dry = engine.beatRingReprimes + miniOutput.silentPasses - dryBefore;
        play.join(), std::this_thread::sleep_for(300ms);
        const std::vector<float> out = recording.Stop();
        ShutDownStudioAudio(), StopMiniOutput(), CloseBeatCapture();
        const auto quiet = [&](size_t i) { return std::fabs(out[i]) < 1e-4f; };
        size_t first = 0, last = out.size(), run = 0, longest = 0;
        while (first < last && quiet(first)) ++first;
        while (last > first && quiet(last - 1)) --last;
        for (size_t i = first; i < last; ++i) longest = std::max(longest, run = quiet(i) ? run + 1 : 0);
        std::printf("[ BEAT     ] %s: the ring ran dry %llu times, the longest silence %.2f ms\n",
                    mini ? "Mini output" : "Studio stream", static_cast<unsigned long long>(dry), longest / 48.0);
        ASSERT_GT(last - first, 11u * 48000) << "the tone came through";
        if (TimeWasStolen()) continue;  // the host gave this machine's CPU time to other guests: not judged
        EXPECT_NEAR(EstimateFrequency(out, first + 48000, last - 4800), 493.88, 1.0);
        EXPECT_EQ(dry, 0u) << "the ring ran dry";
        EXPECT_LE(longest, 144u) << "a gap inside the tone";
    }
}

// A server of this test's own, so stopping it leaves the shared one alone.
TEST_F(StudioRoad, AServerRestartIsToldEverywhereAndTheNextOpensWork) {
    PrivateServer server{dir / "server"};
    ASSERT_TRUE(server.Start());
    appConfig.asioDeviceName = kSpeakers;  // the sound server's path even when JACK runs
    StartStudioAudio();
    ASSERT_TRUE(Running() == kSpeakers && OpenBeatCapture() && OpenMiniOutput("Speakers_Builtin", false));
    server.Stop();
    EXPECT_TRUE(ClosedWithin(5s));
    EXPECT_FALSE(beatCapture.beatCaptureReady);
    EXPECT_EQ(beatCapture.streamsLost, 1u);
    EXPECT_TRUE(miniOutput.streamLost.load());
    StopMiniOutput();
    EXPECT_FALSE(ReopenStudioStream() || OpenBeatCapture() || OpenMiniOutput("Speakers_Builtin", false))
        << "nobody to ask: a prompt no";
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(ReopenStudioStream() && OpenBeatCapture() && OpenMiniOutput("Speakers_Builtin", false));
    ExpectAudioRuns("after the restart");
}

// Without a K10 the microphone is bridged. A combined sink plays each burst into the
// microphone's sink and the output's at once: the output's monitor holds the burst
// and, one road's latency later, its bridged copy.
TEST_F(StudioRoad, TheBridgedMicrophoneArrivesAtTheOutputWithinTheBridgesBacklog) {
    PrivateServer server{dir / "server"};
    ASSERT_TRUE(server.Start());
    Shell("pactl unload-module $(pactl list short modules | grep 'sink_name=Speakers_XOX ' | cut -f1)");
    Shell("pactl load-module module-combine-sink sink_name=both slaves=mic_feed,Speakers_Builtin rate=48000");
    engine.reverbLevel = engine.echoLevel = 0.0f;  // dry: the bridged copy starts where its burst does
    appConfig.asioDeviceName = kSpeakers;
    StartStudioAudio();
    ASSERT_TRUE(Running() == kSpeakers && IsMicBridgeRunning());
    EXPECT_EQ(micBridge.bridgeDeviceChannels.load(), 2u);
    MonitorRecording recording("Speakers_Builtin", dir / "out.raw");
    std::this_thread::sleep_for(800ms);
    TimeWasStolen();
    std::atomic<bool> played{false};
    std::thread play([&] {  // six bursts 1.2 s apart, then a tone into the microphone alone
        PlayInto("both", "synth 0.03 sine 1000 vol 0.5 pad 0.3 0.87 repeat 5");
        PlayInto("mic_feed", "synth 2 sine 440 vol 0.3"), played = true;
    });
    uint32_t worstFill = 0;
    for (; !played; std::this_thread::sleep_for(1ms)) worstFill = std::max(worstFill, engine.bridgeFillFrames.load());
    play.join(), std::this_thread::sleep_for(300ms);
    const std::vector<float> heard = recording.Stop();
    const auto onsetAfter = [&](size_t from, float threshold) {
        while (from < heard.size() && std::fabs(heard[from]) < threshold) ++from;
        return from;
    };
    size_t at = 0;
    for (int burst = 0; burst < 6; ++burst, at += 48000) {
        at = onsetAfter(at, 0.25f);
        const size_t copy = onsetAfter(at + 1680, 0.01f);
        ASSERT_LT(copy, at + 28800) << "burst " << burst << " and its bridged copy";
        std::printf("[ LATENCY  ] microphone to Studio output, burst %d: %.1f ms\n", burst, (copy - at) / 48.0);
        EXPECT_LT(copy - at, 12000u) << "burst " << burst;  // 250 ms
    }
    const size_t toneStart = onsetAfter(at + 9600, 0.01f);
    ASSERT_LT(toneStart + 86400, heard.size()) << "the bridged tone reached the output";
    if (TimeWasStolen()) GTEST_SKIP() << "the host gave this machine's CPU time to other guests: real time not judged";
    // Through the vocal chain, on the bridge's own clock: its pitch is only near the tone's.
    EXPECT_NEAR(EstimateFrequency(heard, toneStart + 4800, toneStart + 86400), 440.0, 22.0) << "the bridged tone";
    EXPECT_LE(worstFill, EngineParams::bridgeLatencyCut + 1024) << "the cut holds the microphone's backlog";
}
}  // namespace
