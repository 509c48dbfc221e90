// sonavela-beat-road: the beat road alone, as the Mini Player runs it:
// capture from the virtual cable, Tone Control on the beat pump's thread,
// Mini output to a chosen output, with levels and counters once a second. A development and
// routing check, not the product.

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "devices/beat_capture.h"
#include "devices/beat_pump.h"
#include "devices/mini_output.h"
#include "devices/player_mode.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "platform/audio_endpoints.h"

namespace {
const char* const kUsage =
    "usage: sonavela-beat-road [--tone N] [--output ID] [--profile 0|1] [--volume P] [--seconds S]\n"
    "  --tone N        semitones, -3..+3 (default 0)\n"
    "  --output ID     the output to play on (a sink name; default: the system's default output)\n"
    "  --profile 0|1   0 wired / HDMI: 28 ms buffer (default), 1 Bluetooth: 80 ms\n"
    "  --volume P      beat volume in percent, 0..100 (default 32)\n"
    "  --seconds S     how long to run; 0 runs until interrupted (default 0)\n"
    "The beat is what plays into the output whose name contains \"CABLE\". Without one, create it:\n"
    "  pactl load-module module-null-sink sink_name=CABLE_Input rate=48000 \\\n"
    "    \"sink_properties='device.description=\\\"CABLE Input (VB-Audio Virtual Cable)\\\"'\"\n"
    "Every second it prints the levels and counters; a capture, output or sound server that goes\n"
    "away is said once and looked for again every second.\n";

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

// What the road has said, so each failure is told once and its end once.
struct Road {
    bool serverUp = true;
    uint64_t serversLost = 0;
    std::string captureTold;
    std::string outputTold;
};

void PrintCounters(double at, const Road& road) {
    const BeatPumpPause pause;  // the capture's counters are the pump's
    std::printf(
        "%6.1f s  cable %5.3f  beat %5.3f  ring %5lld  captured %llu  trimmed %llu  played %llu  "
        "silent passes %llu  re-primes %llu  lost: capture %llu output %llu server %llu%s%s%s\n",
        at, static_cast<double>(engine.cablePeak.load()), static_cast<double>(engine.beatPeak.load()),
        static_cast<long long>(BeatRingFill()), static_cast<unsigned long long>(beatCapture.framesCaptured),
        static_cast<unsigned long long>(beatCapture.samplesTrimmed.load() / 2),
        static_cast<unsigned long long>(miniOutput.framesWritten.load()),
        static_cast<unsigned long long>(miniOutput.silentPasses.load()),
        static_cast<unsigned long long>(engine.beatRingReprimes.load()),
        static_cast<unsigned long long>(beatCapture.streamsLost),
        static_cast<unsigned long long>(miniOutput.streamsLost.load()),
        static_cast<unsigned long long>(road.serversLost), road.serverUp ? "" : "  [no sound server]",
        beatCapture.beatCaptureReady ? "" : "  [no cable capture]", IsMiniOutputRunning() ? "" : "  [output stopped]");
    std::fflush(stdout);
}

// Prints a failure when it differs from the one told last; an empty one clears it.
void Tell(std::string& told, const std::string& failure, const char* again) {
    if (!failure.empty() && failure != told) std::printf("[FAIL] %s; %s\n", failure.c_str(), again);
    told = failure;
}

bool Listed(const std::vector<AudioEndpoint>& outputs, const std::string& id) {
    return std::any_of(outputs.begin(), outputs.end(), [&](const AudioEndpoint& e) { return e.id == id; });
}

// A named output opens there or not at all: the Mini output would fall back
// to the default one, which a routing check must not do without a word.
bool OpenOutput(const Options& o, const std::vector<AudioEndpoint>& outputs, Road& road) {
    if (!o.output.empty() && !Listed(outputs, o.output)) {
        Tell(road.outputTold, "no output named " + o.output, "it is looked for again every second");
        return false;
    }
    const BeatPumpPause pause;
    ResetBeatRing();
    SetBeatPrefill(o.profile == 1 ? 4800 : 1920);
    if (!OpenMiniOutput(o.output, o.profile == 1)) {
        Tell(road.outputTold, "cannot open an output: " + miniOutput.openError, "it is tried again every second");
        return false;
    }
    road.outputTold.clear();
    std::printf("[OK] playing on %s (%u-frame buffer)\n", miniOutput.openedId.c_str(), miniOutput.bufferFrames);
    return true;
}

// A mistyped --output is refused at once with the list to choose from. A
// server that cannot be asked yet is not a mistake: Recover tells it.
bool CheckOutputOption(const Options& o) {
    std::vector<AudioEndpoint> outputs;
    std::string defaultId;
    std::string reason;
    if (o.output.empty() || !ListAudioEndpoints(EndpointFlow::Render, outputs, defaultId, reason)) return true;
    const auto named =
        std::find_if(outputs.begin(), outputs.end(), [&](const AudioEndpoint& e) { return e.id == o.output; });
    if (named != outputs.end() && !IsCableName(named->name)) return true;
    if (named != outputs.end()) {
        std::printf("[FAIL] %s is the cable the beat is captured from: it would echo without end\n", o.output.c_str());
    } else {
        std::printf("[FAIL] no output named %s; the outputs are:\n", o.output.c_str());
    }
    for (const AudioEndpoint& e : outputs) std::printf("  %s  (%s)\n", e.id.c_str(), e.name.c_str());
    return false;
}

// Opens what is not open, once a second: the routing check keeps going while
// cables are replugged and the sound server restarts.
void Recover(const Options& o, Road& road) {
    if (beatCapture.beatCaptureReady && IsMiniOutputRunning()) return;
    std::vector<AudioEndpoint> outputs;
    std::string defaultId;
    std::string reason;
    if (!ListAudioEndpoints(EndpointFlow::Render, outputs, defaultId, reason)) {
        if (road.serverUp) {
            ++road.serversLost;
            std::printf("[FAIL] no sound server: %s; it is tried again every second\n", reason.c_str());
        }
        road.serverUp = false;
        return;
    }
    if (!road.serverUp) std::printf("[OK] the sound server answers again\n");
    road.serverUp = true;
    if (!beatCapture.beatCaptureReady) {
        if (OpenBeatCapture()) std::printf("[OK] capturing the cable\n");
        Tell(road.captureTold, beatCapture.openError, "it is looked for again every second");
    }
    if (!IsMiniOutputRunning()) {
        StopMiniOutput();  // a thread that ended on a lost stream is joined before the next opens
        OpenOutput(o, outputs, road);
    }
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
    std::printf("[OK] tone %+.1f st\n", static_cast<double>(RequestBeatTone(o.tone)));
    if (!CheckOutputOption(o)) return 1;
    Road road;
    Recover(o, road);
    StartBeatPump();

    const auto start = std::chrono::steady_clock::now();
    auto nextReport = start + std::chrono::seconds(1);
    double at = 0.0;
    while (interrupted == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the pump runs on its own thread
        const auto now = std::chrono::steady_clock::now();
        at = std::chrono::duration<double>(now - start).count();
        if (now >= nextReport) {
            PrintCounters(at, road);
            Recover(o, road);
            nextReport += std::chrono::seconds(1);
        }
        if (o.seconds > 0 && at >= o.seconds) break;
    }
    StopBeatPump();
    std::printf("totals at the end:\n");
    PrintCounters(at, road);
    StopMiniOutput();
    CloseBeatCapture();
    ShutdownBeatPitchShifter();
    return 0;
}
