// The Studio callback, the Mini render thread, the beat pump and the config saver run while the UI thread feeds the
// beat, applies presets and controls, resets, switches Studio Mode, reopens the capture and hands the beat over (some
// stops failing). ThreadSanitizer in CI.
#include <algorithm>
#include <atomic>

#include "app/controls.h"
#include "app/presets.h"
#include "app/reset.h"
#include "devices/beat_capture.h"
#include "devices/beat_pump.h"
#include "engine/studio_callback.h"
#include "tests/devices/device_world.h"

namespace {
constexpr uint32_t kBlock = 128;

TEST(WindowRaces, TheAudioThreadsRunWhileTheWindowChangesEverything) {
    ResetDeviceWorld();
    scripted.render.endpoints = {kSpeakers, kCable};
    scripted.renderStream.spacePerCall = 256;
    InitBeatCapture();
    ShellState shell;
    ApplyConfigToEngine(appConfig, shell);
    engine.inputChannels = 1;
    StartBeatPump(), StartConfigSaver();
    ASSERT_TRUE(OpenBeatCapture());

    // A driver thread whose stream the UI can stop; a failed stop leaves the callback coming.
    std::atomic<bool> done{false}, running{true}, inCallback{false};
    std::vector<float> beatSeen;  // what the callback took from the beat ring, silence left out
    std::thread driver([&] {
        std::vector<float> out(2 * kBlock), in(kBlock, 0.1f);
        while (!done.load()) {
            inCallback = true;
            if (running.load()) {
                StudioCallback(out.data(), in.data(), kBlock, 0.0, 0, nullptr);
                std::copy_if(engine.beatBlock, engine.beatBlock + 2 * kBlock, std::back_inserter(beatSeen),
                             [](float v) { return v != 0.0f; });
            }
            inCallback = false;
            std::this_thread::yield();
        }
    });
    std::vector<float> ramp(960);
    float next = 1.0f;  // a ramp from 1, so silence never looks like beat
    int handOvers = 0;
    for (int step = 0; step < 600; ++step) {
        {  // silence through the cable, which the pump's thread takes through the shifter into the ring
            const std::lock_guard<std::mutex> lock(scripted.captureStream.packetsLock);
            scripted.captureStream.packets.push_back({std::vector<float>(480), false});
        }
        // The ramp is written between two pumps, past the gate's target even
        // when a starved pump's gaps have made the cushion its largest.
        if (const BeatPumpPause pause; BeatRingFill() < 16000) {
            for (float& v : ramp) v = next++;
            WriteBeatRing(ramp.data(), static_cast<int64_t>(ramp.size()));
            TrimBeatRing(19200);
        }
        const std::function<void()> uiSteps[] = {
            [&] { ApplyBuiltinPreset(step % 13, shell); },
            [&] { MoveControl(shell, static_cast<Param>(step % kParamCount), static_cast<float>(step % 50)); },
            [&] {
                hostRequests.requestedStudioMode = (step / 4) % 2;
                HandleHostRequests();
            },
            [&] {
                if (step % 60 == 3) ResetToDefaults(shell);
            }};
        uiSteps[step % 4]();
        if (step % 25 != 24) continue;
        if (++handOvers % 2 == 1) {
            if (handOvers % 3 != 0) {  // every third stop fails
                running = false;
                while (inCallback.load()) std::this_thread::yield();
            }
            ASSERT_TRUE(SwitchToMiniPlayer());
            ASSERT_TRUE(RunDeviceOperation(OpenBeatCapture));
        } else {
            SwitchToStudio();
            running = true;
        }
    }
    done = true;
    driver.join();
    StopMiniOutput(), StopBeatPump(), StopConfigSaver();
    EXPECT_GT(beatCapture.packets, 0u) << "the pump's thread took the cable's packets";
    TakeNotices();
    EXPECT_EQ(engine.beatReaderOverlaps, 0u) << "the two readers were never in the ring together";
    EXPECT_GT(scripted.renderStream.framesWritten.load(), 0u);
    ASSERT_FALSE(beatSeen.empty());
    EXPECT_TRUE(std::adjacent_find(beatSeen.begin(), beatSeen.end(), std::greater_equal<float>()) == beatSeen.end())
        << "the callback never took a beat sample twice nor went back";
}
}  // namespace
