// sonavela-render: runs a recorded take through the Studio engine offline,
// block by block as the sound card would, and writes what the outputs would
// play (and, on request, what the recorder would capture).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "engine/parameters.h"
#include "tools/render_take.h"
#include "tools/wav_files.h"

namespace {
// The options that set a control, and the control each sets; their ranges
// and defaults are the program's own.
const std::pair<const char*, Param> kControlOptions[] = {
    {"vocal-volume", Param::VocalVolume}, {"balance", Param::VocalBalance},
    {"body", Param::VocalBody},           {"smooth", Param::VocalSmooth},
    {"warmth", Param::VocalWarmth},       {"body-plus", Param::VocalBodyPlus},
    {"opto", Param::VocalOpto2a},         {"air", Param::VocalAir},
    {"reverb", Param::Reverb},            {"echo", Param::Echo},
    {"harmony-volume", Param::HarmonyVolume}, {"beat-volume", Param::BeatVolume},
    {"master-glue", Param::MasterGlue},   {"master-db", Param::MasterOutputDb},
    {"harmony", Param::HarmonyEnabled},   {"fx", Param::FxEnabled},
    {"tune-mode", Param::TuneMode},       {"tune", Param::TuneEnabled},
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
            std::fprintf(stderr, "  --%-20s %s on|off (default %s)\n", option, s.label, s.defaultValue != 0 ? "on" : "off");
        } else {
            std::fprintf(stderr, "  --%-20s %s %g..%g (default %g)\n", option, s.label, static_cast<double>(s.lo),
                         static_cast<double>(s.hi), static_cast<double>(s.defaultValue));
        }
    }
    std::fputs("Auto-tune styles: 1 = Bolero Ngot Ngao, 2 = Studio Natural, 3 = Hard-Tune Robot\n"
               "Inputs must be 48000 Hz WAV files; convert others first, e.g. sox in.wav -r 48000 out.wav\n",
               stderr);
}

bool ParseArguments(int argc, char** argv, std::map<std::string, std::string>& args) {
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        if (key.rfind("--", 0) != 0 || i + 1 >= argc) return false;
        args[key.substr(2)] = argv[i + 1];
    }
    return args.count("vocal") == 1 && (args.count("out") == 1 || args.count("record-folder") == 1);
}

bool ParseNumber(const std::map<std::string, std::string>& args, const char* key, float& value) {
    const auto it = args.find(key);
    if (it == args.end()) return true;
    char* end = nullptr;
    const float v = std::strtof(it->second.c_str(), &end);
    if (end == it->second.c_str() || *end != '\0' || !std::isfinite(v)) {
        std::fprintf(stderr, "sonavela-render: --%s wants a number, not \"%s\"\n", key, it->second.c_str());
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
    if (!ParseNumber(args, "block", block) || !ParseNumber(args, "mic-channel", mic) ||
        !ParseNumber(args, "studio-mode", mode)) {
        return false;
    }
    for (const auto& [option, p] : kControlOptions) {
        if (Spec(p).kind == ParamKind::Switch) {
            bool on = s.params[p] != 0.0f;
            if (!ParseSwitch(args, option, on)) return false;
            s.params[p] = on ? 1.0f : 0.0f;
        } else if (!ParseNumber(args, option, s.params[p])) {
            return false;
        }
    }
    if (block < 16 || block > 4096) {
        std::fprintf(stderr, "sonavela-render: --block must be 16..4096 frames\n");
        return false;
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
    s.studioMode = std::clamp(static_cast<int32_t>(mode), 0, 1);
    s.recordMode = recMode != args.end() && recMode->second == "vocal" ? 1 : 0;
    if (args.count("record-folder") == 1) s.recordFolder = args.at("record-folder");
    if (args.count("record-name") == 1) s.recordName = args.at("record-name");
    s.realTimePace = pace != args.end() && pace->second == "realtime";
    return true;
}

bool LoadTake(const std::string& path, WavData& wav) {
    std::string error;
    if (!ReadWav(path, wav, error)) {
        std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
        return false;
    }
    if (wav.sampleRate != 48000) {
        std::fprintf(stderr, "sonavela-render: %s is %u Hz; the engine runs at 48000 Hz (sox %s -r 48000 converted.wav)\n",
                     path.c_str(), wav.sampleRate, path.c_str());
        return false;
    }
    return true;
}

// The beat bus is stereo: a mono beat plays on both sides, extra channels are left out.
std::vector<float> StereoBeat(const WavData& wav) {
    std::vector<float> stereo;
    const size_t frames = wav.samples.size() / wav.channels;
    stereo.reserve(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const float left = wav.samples[i * wav.channels];
        stereo.push_back(left);
        stereo.push_back(wav.channels > 1 ? wav.samples[i * wav.channels + 1] : left);
    }
    return stereo;
}

float Peak(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

bool WriteResults(const std::map<std::string, std::string>& args, const RenderResult& result) {
    std::string error;
    if (args.count("out") == 1 && !WriteFloatWav(args.at("out"), result.output, 2, error)) {
        std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
        return false;
    }
    return true;
}

void PrintSummary(const std::map<std::string, std::string>& args, const RenderResult& result) {
    std::printf("[OK] rendered %.2f s in %llu blocks, output peak %.3f\n", static_cast<double>(result.output.size() / 2) / 48000.0,
                static_cast<unsigned long long>(result.blocks), Peak(result.output));
    if (args.count("out") == 1) std::printf("[OK] output: %s\n", args.at("out").c_str());
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
}
}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    RenderSettings settings;
    if (!ParseArguments(argc, argv, args)) {
        PrintUsage();
        return 2;
    }
    if (!ParseSettings(args, settings)) return 2;

    WavData vocal;
    WavData beat;
    if (!LoadTake(args["vocal"], vocal) || (args.count("beat") == 1 && !LoadTake(args["beat"], beat))) return 1;
    RenderInput input;
    input.vocal = std::move(vocal.samples);
    input.vocalChannels = vocal.channels;
    if (beat.channels > 0) input.beat = StereoBeat(beat);

    RenderResult result;
    std::string error;
    if (!RenderTake(settings, input, result, error)) {
        std::fprintf(stderr, "sonavela-render: %s\n", error.c_str());
        return 1;
    }
    if (!WriteResults(args, result)) return 1;
    PrintSummary(args, result);
    return settings.recordFolder.empty() || result.recordingComplete ? 0 : 1;
}
