#pragma once
// Drives StudioCallback over a whole take exactly as a stream would, block
// by block, with the beat arriving through the beat ring as the beat pump
// delivers it, and the recorder writing the take when asked. Used by the offline renderer and by tests of the whole
// chain.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/parameters.h"

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
    // Every control, in the window's units: what the program plays on a first start.
    ParamValues params = DefaultParamValues();
};

// A take held in memory, for tests of the whole chain; the tool streams its files through the block steps below.
struct RenderInput {
    std::vector<float> vocal;  // interleaved, vocalChannels per frame
    uint32_t vocalChannels = 1;
    std::vector<float> beat;  // interleaved stereo; may be empty
};

struct RenderResult {
    std::vector<float> output;  // interleaved stereo, what the outputs played (RenderTake only)
    uint64_t blocks = 0;
    uint64_t nonFiniteSamples = 0;
    std::string recordingPath;
    bool recordingComplete = false;
    std::string recordingFailReason;
    uint64_t recordFramesPushed = 0;
    uint64_t recordFramesDropped = 0;
};

bool RenderTake(const RenderSettings& settings, const RenderInput& input, RenderResult& result, std::string& error);

// The same render one block at a time: BeginRender, then the beat that leads
// the voice by RenderBeatLead() stereo samples (the ring's prefill) through
// FeedRenderBeat, and for each block its beat followed by RenderBlock; FinishRender ends the
// recording. Blocks never exceed settings.blockFrames; output takes 2 samples a frame.
bool BeginRender(const RenderSettings& settings, uint32_t inputChannels, std::string& error);
size_t RenderBeatLead();
void FeedRenderBeat(const float* stereo, size_t samples);
void RenderBlock(float* input, uint32_t frames, float* output);
// A take with frames dropped on the way to the file counts as incomplete.
void FinishRender(RenderResult& result);
