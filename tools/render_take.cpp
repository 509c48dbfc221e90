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
    WriteBeatRing(scratch.data(), static_cast<int64_t>(count));
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

void Pace(const RenderSettings& s, std::chrono::steady_clock::time_point start, size_t frame, uint32_t frames) {
    if (s.realTimePace) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(frame * 1000000 / EngineParams::sampleRate));
    } else if (!s.recordFolder.empty()) {
        WaitForRecordRoom(frames);
    }
}

void FinishRecording(RenderResult& result) {
    result.recordingComplete = StopRecording();
    result.recordingPath = recorder.lastSavedPath;
    result.recordingFailReason = RecordingFailureText();
    result.recordFramesPushed = engine.recordFramesPushed;
    result.recordFramesDropped = engine.recordFramesDropped;
}
}  // namespace

bool RenderTake(const RenderSettings& settings, const RenderInput& input, RenderResult& result, std::string& error) {
    if (settings.blockFrames < 1 || settings.blockFrames > 4096) {
        error = "block size must be 1..4096 frames";
        return false;
    }
    if (input.vocalChannels < 1) {
        error = "the vocal take has no channels";
        return false;
    }
    const uint32_t channels = std::min(input.vocalChannels, kMaxInputChannels);
    const size_t frames = std::max(input.vocal.size() / input.vocalChannels, input.beat.size() / 2);
    ApplySettings(settings, channels);
    if (!settings.recordFolder.empty() &&
        !StartRecording(settings.recordMode, settings.recordFolder, settings.recordName)) {
        error = "cannot record into " + settings.recordFolder + ": " + RecordingFailureText();
        return false;
    }

    result = RenderResult{};
    result.output.assign(frames * 2, 0.0f);
    std::vector<float> inBlock;
    std::vector<float> beatScratch;
    size_t beatPosition = 0;
    // A primed ring, so the beat lines up with the voice from the first frame.
    FeedBeat(input.beat, beatPosition, static_cast<size_t>(engine.beatRingPrefill.load()), beatScratch);
    const auto start = std::chrono::steady_clock::now();
    for (size_t frame = 0; frame < frames;) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(settings.blockFrames, frames - frame));
        Pace(settings, start, frame, n);
        FeedBeat(input.beat, beatPosition, 2 * static_cast<size_t>(n), beatScratch);
        FillInputBlock(input, channels, frame, n, inBlock);
        StudioCallback(result.output.data() + 2 * frame, inBlock.data(), n, 0.0, 0, nullptr);
        frame += n;
    }
    result.blocks = engine.callbackBlocks;
    result.nonFiniteSamples = engine.nonFiniteSamples;
    if (!settings.recordFolder.empty()) FinishRecording(result);
    return true;
}
