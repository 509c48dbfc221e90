// sonavela-render: runs a recorded take through the Studio engine offline,
// block by block as the sound card would, and writes what the outputs would
// play (and, on request, what the recorder would capture).

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/parameters.h"
#include "recording/take_repair.h"
#include "tools/render_take.h"
#include "tools/wav_files.h"

namespace {
// The options that set a control, and the control each sets; their ranges
// and defaults are the program's own.
const std::pair<const char*, Param> kControlOptions[] = {
    {"vocal-volume", Param::VocalVolume},
    {"balance", Param::VocalBalance},
    {"body", Param::VocalBody},
    {"smooth", Param::VocalSmooth},
    {"warmth", Param::VocalWarmth},
    {"body-plus", Param::VocalBodyPlus},
    {"opto", Param::VocalOpto2a},
    {"air", Param::VocalAir},
    {"reverb", Param::Reverb},
    {"echo", Param::Echo},
    {"harmony-volume", Param::HarmonyVolume},
    {"beat-volume", Param::BeatVolume},
    {"master-glue", Param::MasterGlue},
    {"master-db", Param::MasterOutputDb},
    {"harmony", Param::HarmonyEnabled},
    {"fx", Param::FxEnabled},
    {"tune-mode", Param::TuneMode},
    {"tune", Param::TuneEnabled},
};

const char* const kUsage =
    "usage: sonavela-render --vocal VOCAL.wav [--beat BEAT.wav] [--out OUT.wav] [--record-folder DIR] [options]\n"
    "  --out OUT.wav           what the outputs play (32-bit float)\n"
    "  --record-folder DIR     record the take there as the recorder does (16-bit WAV)\n"
    "  --record-name NAME      the recording's name (default Take): NAME_Mix_YYYYMMDD_hhmmss.wav\n"
    "  --rec-mode mix|vocal    REC MIX (default) or REC VOCAL\n"
    "  --pace fast|realtime    as fast as possible (default), or at the sound card's pace\n"
    "  --block N               frames per block, 16..4096 (sound cards use 64..1024; default 128)\n"
    "  --mic-channel N         0 = Cong 1, 1 = Cong 2 (default), 2 = Song Ca\n"
    "  --studio-mode N         0 = VOCAL + BEAT (default), 1 = BEAT ONLY\n"
    "The controls, as the program starts with them unless set (auto-tune detection runs every fourth block):\n";

void PrintUsage() {
    std::fputs(kUsage, stderr);
    for (const auto& [option, p] : kControlOptions) {
        const ParamSpec& s = Spec(p);
        if (s.kind == ParamKind::Switch) {
            std::fprintf(stderr, "  --%-20s %s on|off (default %s)\n", option, s.label,
                         s.defaultValue != 0 ? "on" : "off");
        } else {
            std::fprintf(stderr, "  --%-20s %s %g..%g (default %g)\n", option, s.label, static_cast<double>(s.lo),
                         static_cast<double>(s.hi), static_cast<double>(s.defaultValue));
        }
    }
    std::fputs(
        "Auto-tune styles: 1 = Bolero Ngot Ngao, 2 = Studio Natural, 3 = Hard-Tune Robot\n"
        "Inputs must be 48000 Hz WAV files; convert others first, e.g. sox in.wav -r 48000 out.wav\n",
        stderr);
}

const char* const kPlainOptions[] = {"vocal",    "beat", "out",   "record-folder", "record-name",
                                     "rec-mode", "pace", "block", "mic-channel",   "studio-mode"};

bool KnownOption(const std::string& key) {
    for (const char* option : kPlainOptions) {
        if (key == option) return true;
    }
    for (const auto& [option, p] : kControlOptions) {
        if (key == option) return true;
    }
    return false;
}

bool ParseArguments(int argc, char** argv, std::map<std::string, std::string>& args) {
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        if (key.rfind("--", 0) != 0 || !KnownOption(key.substr(2))) {
            std::fprintf(stderr, "sonavela-render: unknown option %s\n", key.c_str());
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "sonavela-render: %s wants a value\n", key.c_str());
            return false;
        }
        args[key.substr(2)] = argv[i + 1];
    }
    return args.count("vocal") == 1 && (args.count("out") == 1 || args.count("record-folder") == 1);
}

// A number within lo..hi (a whole one when `whole`); absent leaves value as it was.
bool ParseNumber(const std::map<std::string, std::string>& args, const char* key, float lo, float hi, bool whole,
                 float& value) {
    const auto it = args.find(key);
    if (it == args.end()) return true;
    char* end = nullptr;
    const float v = std::strtof(it->second.c_str(), &end);
    if (end == it->second.c_str() || *end != '\0' || !std::isfinite(v)) {
        std::fprintf(stderr, "sonavela-render: --%s wants a number, not \"%s\"\n", key, it->second.c_str());
        return false;
    }
    if (v < lo || v > hi || (whole && v != std::floor(v))) {
        std::fprintf(stderr, "sonavela-render: --%s must be %s%g..%g, not %s\n", key, whole ? "a whole number " : "",
                     static_cast<double>(lo), static_cast<double>(hi), it->second.c_str());
        return false;
    }
    value = v;
    return true;
}

bool ParseSwitch(const std::map<std::string, std::string>& args, const char* key, bool& value) {
    const auto it = args.find(key);
    if (it == args.end()) return true;
    if (it->second != "on" && it->second != "off") {
        std::fprintf(stderr, "sonavela-render: --%s is on or off\n", key);
        return false;
    }
    value = it->second == "on";
    return true;
}

bool ParseSettings(const std::map<std::string, std::string>& args, RenderSettings& s) {
    float block = static_cast<float>(s.blockFrames);
    float mic = static_cast<float>(s.micChannelMode);
    float mode = static_cast<float>(s.studioMode);
    if (!ParseNumber(args, "block", 16, 4096, true, block) || !ParseNumber(args, "mic-channel", 0, 2, true, mic) ||
        !ParseNumber(args, "studio-mode", 0, 1, true, mode)) {
        return false;
    }
    for (const auto& [option, p] : kControlOptions) {
        if (Spec(p).kind == ParamKind::Switch) {
            bool on = s.params[p] != 0.0f;
            if (!ParseSwitch(args, option, on)) return false;
            s.params[p] = on ? 1.0f : 0.0f;
        } else if (!ParseNumber(args, option, Spec(p).lo, Spec(p).hi, Spec(p).kind == ParamKind::Style, s.params[p])) {
            return false;
        }
    }
    const auto recMode = args.find("rec-mode");
    if (recMode != args.end() && recMode->second != "mix" && recMode->second != "vocal") {
        std::fprintf(stderr, "sonavela-render: --rec-mode is mix or vocal\n");
        return false;
    }
    const auto pace = args.find("pace");
    if (pace != args.end() && pace->second != "fast" && pace->second != "realtime") {
        std::fprintf(stderr, "sonavela-render: --pace is fast or realtime\n");
        return false;
    }
    s.blockFrames = static_cast<uint32_t>(block);
    s.micChannelMode = static_cast<int32_t>(mic);
    s.studioMode = static_cast<int32_t>(mode);
    s.recordMode = recMode != args.end() && recMode->second == "vocal" ? 1 : 0;
    if (args.count("record-folder") == 1) s.recordFolder = args.at("record-folder");
    if (args.count("record-name") == 1) s.recordName = args.at("record-name");
    s.realTimePace = pace != args.end() && pace->second == "realtime";
    return true;
}

bool OpenTake(const std::string& path, WavReader& wav) {
    std::string error;
    if (!OpenWavReader(path, wav, error)) {
        std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
        return false;
    }
    if (wav.sampleRate != 48000) {
        std::fprintf(stderr,
                     "sonavela-render: %s is %u Hz; the engine runs at 48000 Hz (sox %s -r 48000 converted.wav)\n",
                     path.c_str(), wav.sampleRate, path.c_str());
        return false;
    }
    if (wav.claimedFrames > wav.frames) {
        std::printf("[WARN] %s was cut short: its header announces %.2f s, the file holds %.2f s; rendering those\n",
                    path.c_str(), static_cast<double>(wav.claimedFrames) / 48000.0,
                    static_cast<double>(wav.frames) / 48000.0);
    }
    return true;
}

// Set by SIGINT or SIGTERM: the render stops after the block under way.
volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) { stopSignal = signal; }

// std::signal rather than sigaction: the handler only sets a flag, and both systems have it.
void CatchStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

struct Streams {
    WavReader vocal;
    WavReader beat;  // not open without --beat
    WavWriter out;   // not open without --out
    bool writing = false;
    uint64_t frames = 0;  // rendered so far
    int stoppedBy = 0;    // the signal that ended the render before the end of its inputs
    float peak = 0.0f;
    std::string writeError;
};

// The beat bus is stereo: a mono beat plays on both sides, extra channels are left out.
void FeedBeatFrames(WavReader& beat, uint64_t frames, std::vector<float>& raw, std::vector<float>& stereo) {
    stereo.assign(2 * frames, 0.0f);
    if (beat.file != nullptr) {
        raw.resize(frames * beat.channels);
        ReadWavFrames(beat, raw.data(), frames);
        for (uint64_t i = 0; i < frames; ++i) {
            stereo[2 * i] = raw[i * beat.channels];
            stereo[2 * i + 1] = raw[i * beat.channels + (beat.channels > 1 ? 1 : 0)];
        }
    }
    FeedRenderBeat(stereo.data(), stereo.size());
}

// Reads, renders and writes block by block until the longer input ends or a stop signal comes.
void Stream(const RenderSettings& settings, Streams& s) {
    const uint64_t total = std::max(s.vocal.frames, s.beat.file != nullptr ? s.beat.frames : 0);
    const uint32_t vocalChannels = s.vocal.channels;
    const uint32_t channels = std::min<uint32_t>(vocalChannels, 2);
    std::vector<float> raw(size_t{settings.blockFrames} * vocalChannels);
    std::vector<float> input(size_t{settings.blockFrames} * channels);
    std::vector<float> output(2 * size_t{settings.blockFrames});
    std::vector<float> beatRaw;
    std::vector<float> beatStereo;
    FeedBeatFrames(s.beat, RenderBeatLead() / 2, beatRaw, beatStereo);
    while (s.frames < total && stopSignal == 0) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(settings.blockFrames, total - s.frames));
        ReadWavFrames(s.vocal, raw.data(), n);
        for (uint32_t i = 0; i < n; ++i) {
            for (uint32_t c = 0; c < channels; ++c) input[i * channels + c] = raw[i * vocalChannels + c];
        }
        FeedBeatFrames(s.beat, n, beatRaw, beatStereo);
        RenderBlock(input.data(), n, output.data());
        for (uint32_t i = 0; i < 2 * n; ++i) s.peak = std::max(s.peak, std::fabs(output[i]));
        s.frames += n;
        if (s.writing && !WriteWavFrames(s.out, output.data(), n, s.writeError)) return;
    }
    if (s.frames < total) s.stoppedBy = stopSignal;
}

// The output takes the target's place only when whole; an interrupted render keeps what it
// wrote, with a proper header, under its own name, and the target stays as it was.
bool FinishOutput(const std::map<std::string, std::string>& args, Streams& s) {
    if (!s.writing) return true;
    std::string error = s.writeError;
    if (error.empty() && s.stoppedBy != 0) {
        if (!KeepPartialWav(s.out, error)) {
            std::printf("[FAIL] %s\n", error.c_str());
            return false;
        }
        std::printf("[FAIL] output: %s left as it was; the %.2f s rendered are in %s\n", args.at("out").c_str(),
                    static_cast<double>(s.frames) / 48000.0, s.out.temporary.c_str());
        return false;
    }
    if (error.empty() && CommitWavWriter(s.out, error)) {
        std::printf("[OK] output: %s\n", args.at("out").c_str());
        return true;
    }
    AbandonWavWriter(s.out);
    std::printf("[FAIL] output: %s\n", error.c_str());
    return false;
}

bool PrintSummary(const Streams& s, const RenderResult& result) {
    bool whole = true;
    if (s.stoppedBy != 0) {
        std::printf("[FAIL] stopped by %s after %.2f s\n", s.stoppedBy == SIGINT ? "SIGINT" : "SIGTERM",
                    static_cast<double>(s.frames) / 48000.0);
        whole = false;
    } else if (!s.writeError.empty()) {
        std::printf("[FAIL] stopped after %.2f s: the output could not be written\n",
                    static_cast<double>(s.frames) / 48000.0);
        whole = false;
    } else {
        std::printf("[OK] rendered %.2f s in %llu blocks, output peak %.3f\n", static_cast<double>(s.frames) / 48000.0,
                    static_cast<unsigned long long>(result.blocks), static_cast<double>(s.peak));
    }
    for (const WavReader* input : {&s.vocal, &s.beat}) {
        if (input->readFailed) {
            std::printf("[FAIL] an input could not be read to its end: %s\n", sf_strerror(input->file));
            whole = false;
        }
    }
    if (!result.recordingPath.empty()) {
        std::printf("[%s] recording: %s (%llu frames pushed, %llu dropped)\n", result.recordingComplete ? "OK" : "FAIL",
                    result.recordingPath.c_str(), static_cast<unsigned long long>(result.recordFramesPushed),
                    static_cast<unsigned long long>(result.recordFramesDropped));
    }
    if (!result.recordingComplete && !result.recordingFailReason.empty()) {
        std::printf("[FAIL] the recording was cut short: %s\n", result.recordingFailReason.c_str());
    }
    if (result.nonFiniteSamples > 0) {
        std::printf("[WARN] %llu non-finite samples were replaced with silence\n",
                    static_cast<unsigned long long>(result.nonFiniteSamples));
    }
    return whole;
}
}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    RenderSettings settings;
    if (!ParseArguments(argc, argv, args) || !ParseSettings(args, settings)) {
        PrintUsage();
        return 2;
    }
    CatchStopSignals();
    Streams s;
    if (!OpenTake(args["vocal"], s.vocal) || (args.count("beat") == 1 && !OpenTake(args["beat"], s.beat))) return 1;
    std::string error;
    if (args.count("out") == 1) {
        if (!OpenFloatWavWriter(args["out"], 2, s.out, error)) {
            std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
            return 1;
        }
        s.writing = true;
    }
    // A take an earlier run lost to a crash is made whole before this one joins it.
    if (!settings.recordFolder.empty()) {
        for (const TakeRepair& r : RepairCutTakes(settings.recordFolder)) {
            if (r.repaired) {
                std::printf("[OK] recovered %s: %.1f s\n", r.path.c_str(), static_cast<double>(r.frames) / 48000.0);
            } else {
                std::printf("[WARN] could not recover %s: %s\n", r.path.c_str(), r.reason.c_str());
            }
        }
    }
    if (!BeginRender(settings, s.vocal.channels, error)) {
        std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
        AbandonWavWriter(s.out);
        return 1;
    }
    Stream(settings, s);
    RenderResult result;
    FinishRender(result);
    const bool whole = PrintSummary(s, result);
    const bool written = FinishOutput(args, s);
    CloseWavReader(s.vocal);
    CloseWavReader(s.beat);
    if (s.stoppedBy != 0) return 128 + s.stoppedBy;
    return whole && written && (settings.recordFolder.empty() || result.recordingComplete) ? 0 : 1;
}
