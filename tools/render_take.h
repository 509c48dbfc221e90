#pragma once
// Drives StudioCallback over a whole take exactly as a stream would, block
// by block, with the beat arriving through the beat ring as the beat pump
// delivers it, and the recorder writing the take when asked. Used by the offline renderer and by tests of the whole chain.

#include <cstdint>
#include <string>
#include <vector>

// The vocal column's controls in their UI units (percent, air in dB).
struct VocalToneSettings {
    float balance = 55.0f;
    float body = 55.0f;
    float opto = 0.0f;
    float bodyPlus = 38.0f;
    float smooth = 55.0f;
    float warmth = 45.0f;
    float airDb = 2.8f;
    float reverb = 18.0f;
    float echo = 8.0f;
    bool fxEnabled = true;
};

// The pitch column: auto-tune and the harmony voices.
struct PitchSettings {
    bool tuneEnabled = true;
    int32_t tuneMode = 1;  // 1 Bolero Ngot Ngao, 2 Studio Natural, 3 Hard-Tune
    bool harmonyEnabled = false;
    float harmonyVolume = 24.0f;  // percent, 8..45
};

struct RenderSettings {
    uint32_t blockFrames = 128;
    int32_t micChannelMode = 1;  // the engine's default input: "Cong 2", input 1 on a mono take
    int32_t studioMode = 0;
    int32_t recordMode = 0;
    std::string recordFolder;  // when set, the take is recorded there through the recorder
    std::string recordName = "Take";
    // Blocks at the sound card's pace, so the recorder's writer runs as it does live; otherwise as
    // fast as the engine goes, waiting only for room in the record ring.
    bool realTimePace = false;
    float vocalVolumePercent = 100.0f;
    float beatVolumePercent = 32.0f;
    float masterGluePercent = 60.0f;
    float masterOutputDb = 0.0f;
    VocalToneSettings tone;
    PitchSettings pitch;
};

struct RenderInput {
    std::vector<float> vocal;  // interleaved, vocalChannels per frame
    uint32_t vocalChannels = 1;
    std::vector<float> beat;   // interleaved stereo; may be empty
};

struct RenderResult {
    std::vector<float> output;      // interleaved stereo, what the outputs played
    uint64_t blocks = 0;
    uint64_t nonFiniteSamples = 0;
    std::string recordingPath;
    bool recordingComplete = false;
    std::string recordingFailReason;
    uint64_t recordFramesPushed = 0;
    uint64_t recordFramesDropped = 0;
};

bool RenderTake(const RenderSettings& settings, const RenderInput& input, RenderResult& result, std::string& error);
