#include "tools/render_take.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/takes.h"
#include "engine/beat_ring.h"
#include "engine/engine_params.h"
#include "engine/studio_callback.h"
#include "recording/recorder.h"

namespace {
constexpr uint32_t kMaxInputChannels = 2;

// The render under way: its settings, its pace clock and the frames fed so far.
struct RenderRun {
    RenderSettings settings;
    std::chrono::steady_clock::time_point start;
    uint64_t frames = 0;
};
RenderRun run;

void ApplySettings(const RenderSettings& s, uint32_t inputChannels) {
    InitEngine();
    engine.inputChannels = static_cast<int32_t>(inputChannels);
    engine.micChannelMode = s.micChannelMode;
    engine.studioMode = s.studioMode;
    engine.recordMode = s.recordMode;
    ParamValues params = s.params;
    ApplyParams(params);
}

// The beat as the pump would deliver it: the next count samples, silence past the end.
void FeedBeat(const std::vector<float>& beat, size_t& position, size_t count, std::vector<float>& scratch) {
    scratch.assign(count, 0.0f);
    if (position < beat.size()) {
        std::copy_n(beat.begin() + static_cast<std::ptrdiff_t>(position), std::min(count, beat.size() - position),
                    scratch.begin());
    }
    position += count;
    FeedRenderBeat(scratch.data(), count);
}

// Repacks a block of the take into the stream's input layout.
void FillInputBlock(const RenderInput& in, uint32_t channels, size_t frame, uint32_t n, std::vector<float>& block) {
    block.assign(static_cast<size_t>(n) * channels, 0.0f);
    const size_t frames = in.vocal.size() / in.vocalChannels;
    for (uint32_t i = 0; i < n && frame + i < frames; ++i) {
        for (uint32_t c = 0; c < channels; ++c) block[i * channels + c] = in.vocal[(frame + i) * in.vocalChannels + c];
    }
}

// Offline there is no deadline, so a block waits until the ring has room for it.
void WaitForRecordRoom(uint32_t frames) {
    while (engine.recorderActive.load(std::memory_order_acquire) &&
           engine.recordWriteIndex.load() - engine.recordReadIndex.load() + 2 * uint64_t{frames} >
               EngineParams::recordRingSize) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Pace(uint32_t frames) {
    if (run.settings.realTimePace) {
        std::this_thread::sleep_until(run.start +
                                      std::chrono::microseconds(run.frames * 1000000 / EngineParams::sampleRate));
    } else if (!run.settings.recordFolder.empty()) {
        WaitForRecordRoom(frames);
    }
}
}  // namespace

bool BeginRender(const RenderSettings& settings, uint32_t inputChannels, std::string& error) {
    if (settings.blockFrames < 1 || settings.blockFrames > 4096) {
        error = "block size must be 1..4096 frames";
        return false;
    }
    if (inputChannels < 1) {
        error = "the vocal take has no channels";
        return false;
    }
    ApplySettings(settings, std::min(inputChannels, kMaxInputChannels));
    if (!settings.recordFolder.empty() &&
        !StartRecording(settings.recordMode, settings.recordFolder, settings.recordName)) {
        error = "cannot record into " + settings.recordFolder + ": " + RecordingFailureText();
        return false;
    }
    run.settings = settings;
    run.start = std::chrono::steady_clock::now();
    run.frames = 0;
    return true;
}

size_t RenderBeatLead() { return static_cast<size_t>(engine.beatRingPrefill.load()); }

void FeedRenderBeat(const float* stereo, size_t samples) { WriteBeatRing(stereo, static_cast<int64_t>(samples)); }

void RenderBlock(float* input, uint32_t frames, float* output) {
    Pace(frames);
    StudioCallback(output, input, frames, 0.0, 0, nullptr);
    run.frames += frames;
}

void FinishRender(RenderResult& result) {
    result.blocks = engine.callbackBlocks;
    result.nonFiniteSamples = engine.nonFiniteSamples;
    if (run.settings.recordFolder.empty()) return;
    const bool finished = StopRecording();
    result.recordingPath = recorder.lastSavedPath;
    result.recordingFailReason = RecordingFailureText();
    result.recordFramesPushed = engine.recordFramesPushed;
    result.recordFramesDropped = engine.recordFramesDropped;
    result.recordingComplete = finished && result.recordFramesDropped == 0;
}

bool RenderTake(const RenderSettings& settings, const RenderInput& input, RenderResult& result, std::string& error) {
    if (!BeginRender(settings, input.vocalChannels, error)) return false;
    const uint32_t channels = std::min(input.vocalChannels, kMaxInputChannels);
    const size_t frames = std::max(input.vocal.size() / input.vocalChannels, input.beat.size() / 2);
    result = RenderResult{};
    result.output.assign(frames * 2, 0.0f);
    std::vector<float> inBlock;
    std::vector<float> beatScratch;
    size_t beatPosition = 0;
    // A primed ring, so the beat lines up with the voice from the first frame.
    FeedBeat(input.beat, beatPosition, RenderBeatLead(), beatScratch);
    for (size_t frame = 0; frame < frames;) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(settings.blockFrames, frames - frame));
        FeedBeat(input.beat, beatPosition, 2 * static_cast<size_t>(n), beatScratch);
        FillInputBlock(input, channels, frame, n, inBlock);
        RenderBlock(inBlock.data(), n, result.output.data() + 2 * frame);
        frame += n;
    }
    FinishRender(result);
    return true;
}
