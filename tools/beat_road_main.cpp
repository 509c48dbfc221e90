// sonavela-beat-road: the beat road alone, as the Mini Player runs it:
// capture from the virtual cable, Tone Control, Mini output to a chosen
// output, with levels and counters once a second. A development and
// routing check, not the product.

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "devices/beat_capture.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"

namespace {
const char* const kUsage =
    "usage: sonavela-beat-road [--tone N] [--output ID] [--profile 0|1] [--volume P] [--seconds S]\n"
    "  --tone N        semitones, -3..+3 (default 0)\n"
    "  --output ID     the output to play on (a sink name; default: the system's default output)\n"
    "  --profile 0|1   0 wired / HDMI: 28 ms buffer (default), 1 Bluetooth: 80 ms\n"
    "  --volume P      beat volume in percent, 0..100 (default 32)\n"
    "  --seconds S     how long to run; 0 runs until interrupted (default 0)\n"
    "The beat is what plays into the output whose name contains \"CABLE\". Without one, create it:\n"
    "  pactl load-module module-null-sink sink_name=CABLE_Input \\\n"
    "    sink_properties='device.description=\"CABLE Input (VB-Audio Virtual Cable)\"'\n";

struct Options {
    float tone = 0.0f;
    std::string output;
    int profile = 0;
    float volume = 32.0f;
    double seconds = 0.0;
};

volatile sig_atomic_t interrupted = 0;

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        char* end = nullptr;
        const double number = std::strtod(value, &end);
        const bool isNumber = end != value && *end == '\0';
        if (key == "--output") {
            o.output = value;
        } else if (key == "--tone" && isNumber) {
            o.tone = static_cast<float>(number);
        } else if (key == "--profile" && isNumber && (number == 0 || number == 1)) {
            o.profile = static_cast<int>(number);
        } else if (key == "--volume" && isNumber && number >= 0 && number <= 100) {
            o.volume = static_cast<float>(number);
        } else if (key == "--seconds" && isNumber && number >= 0) {
            o.seconds = number;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

void PrintCounters(double at) {
    std::printf("%6.1f s  cable %5.3f  beat %5.3f  ring %5lld  captured %llu  trimmed %llu  played %llu  "
                "silent passes %llu%s%s\n",
                at, static_cast<double>(engine.cablePeak.load()), static_cast<double>(engine.beatPeak.load()),
                static_cast<long long>(BeatRingFill()), static_cast<unsigned long long>(beatCapture.framesCaptured),
                static_cast<unsigned long long>(beatCapture.samplesTrimmed),
                static_cast<unsigned long long>(miniOutput.framesWritten.load()),
                static_cast<unsigned long long>(miniOutput.silentPasses.load()),
                beatCapture.beatCaptureReady ? "" : "  [no cable capture]",
                IsMiniOutputRunning() ? "" : "  [output stopped]");
    std::fflush(stdout);
}

bool OpenOutput(const Options& o) {
    ResetBeatRing();
    SetBeatPrefill(o.profile == 1 ? 4800 : 1920);
    if (!OpenMiniOutput(o.output, o.profile == 1)) return false;
    std::printf("[OK] playing on %s (%u-frame buffer)\n", miniOutput.openedId.c_str(), miniOutput.bufferFrames);
    return true;
}

// Reopens what was lost, once a second: the routing check keeps going while cables are replugged.
void Recover(const Options& o) {
    if (!beatCapture.beatCaptureReady && OpenBeatCapture()) std::printf("[OK] cable capture reopened\n");
    if (!IsMiniOutputRunning() && OpenOutput(o)) std::printf("[OK] output reopened\n");
}
}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    signal(SIGINT, [](int) { interrupted = 1; });
    signal(SIGTERM, [](int) { interrupted = 1; });
    InitEngine();
    InitBeatCapture();
    miniPlayerActive = true;
    engine.beatVolume = o.volume / 100.0f;
    std::printf("[OK] tone %+.1f st\n", static_cast<double>(SetBeatTone(o.tone)));
    if (!OpenBeatCapture()) std::printf("[FAIL] no cable to capture from; it is looked for again every second\n");
    if (!OpenOutput(o)) std::printf("[FAIL] cannot open an output; it is tried again every second\n");

    const auto start = std::chrono::steady_clock::now();
    auto nextReport = start + std::chrono::seconds(1);
    while (interrupted == 0) {
        PumpBeat();
        std::this_thread::sleep_for(std::chrono::microseconds(16667));  // a UI frame at 60 Hz
        const auto now = std::chrono::steady_clock::now();
        const double at = std::chrono::duration<double>(now - start).count();
        if (now >= nextReport) {
            PrintCounters(at);
            Recover(o);
            nextReport += std::chrono::seconds(1);
        }
        if (o.seconds > 0 && at >= o.seconds) break;
    }
    StopMiniOutput();
    CloseBeatCapture();
    ShutdownBeatPitchShifter();
    return 0;
}
