#include "engine/studio_callback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "engine/auto_tune.h"
#include "engine/beat_ring.h"
#include "engine/bridge_ring.h"
#include "engine/denormals.h"
#include "engine/engine_params.h"
#include "engine/master_bus.h"
#include "engine/meters.h"
#include "engine/record_ring.h"
#include "engine/vocal_bus.h"

namespace {
constexpr uint32_t kSlice = EngineParams::maxBlockFrames;
// +18 dBFS: far beyond what any converter delivers, far below what overflows.
constexpr float kMaxMicSample = 8.0f;

// Block scratch of the audio thread: the high-passed microphone, and the
// bridge copy that the pitch-corrected vocal later overwrites.
float micBlock[kSlice];
float vocalBlock[kSlice];

static_assert(sizeof(EngineParams::beatBlock) / sizeof(float) == 2 * kSlice, "one slice of stereo beat");

// The beat either arrives whole or the block's beat is silence.
void ReadBeatBlock(uint32_t nFrames) {
    const int64_t n = 2 * static_cast<int64_t>(nFrames);
    const int64_t got = ReadBeatRing(engine.beatBlock, n, BeatReader::Studio);
    std::fill(engine.beatBlock + got, engine.beatBlock + n, 0.0f);
}

float SelectAsioMic(const float* input, int32_t channels, int32_t mode, uint32_t i) {
    float in1 = 0.0f;
    float in2 = 0.0f;
    if (input != nullptr && channels >= 1) {
        in1 = input[channels * i];
        in2 = channels >= 2 ? input[channels * i + 1] : in1;
    }
    const bool twoInputs = channels > 1;
    switch (mode) {
        case 0:
            return in1;
        case 1:
            return twoInputs ? in2 : in1;
        case 2:
            return twoInputs ? (in1 + in2) * 0.707f : in1;
        default:
            return 0.0f;
    }
}

bool BridgeIsSource() {
    return engine.micBridgeEnabled.load(std::memory_order_acquire) &&
           engine.micBridgeRunning.load(std::memory_order_acquire);
}

// Fills micBlock with the selected, high-passed microphone; returns the raw peak.
float CaptureMic(const float* input, int32_t channels, uint32_t nFrames) {
    std::fill_n(vocalBlock, nFrames, 0.0f);
    const bool bridge = BridgeIsSource();
    if (bridge) ReadBridgeBlock(vocalBlock, nFrames);
    const int32_t mode = engine.micChannelMode.load(std::memory_order_relaxed);
    float peak = 0.0f;
    for (uint32_t i = 0; i < nFrames; ++i) {
        float x = bridge ? vocalBlock[i] : SelectAsioMic(input, channels, mode, i);
        if (!(std::fabs(x) <= kMaxMicSample)) {
            // One bad sample from a driver (NaN, infinite, or so large that
            // the high-pass overflows on it) would otherwise stay in the
            // filter states and silence the voice for good.
            engine.nonFiniteSamples.fetch_add(1, std::memory_order_relaxed);
            x = 0.0f;
        }
        peak = std::fmax(peak, std::fabs(x));
        micBlock[i] = ProcessBiquad(engine.micHighPass, x);
    }
    return peak;
}

void RunVocalAndBeat(float* out, const float* input, int32_t channels, uint32_t nFrames) {
    UpdateMeter(engine.micPeak, CaptureMic(input, channels, nFrames));
    ProcessAutoTune(micBlock, vocalBlock, nFrames);

    const float gain = engine.vocalVolume.load(std::memory_order_relaxed) / 100.0f;
    const float beatVolume = engine.beatVolume.load(std::memory_order_relaxed);
    const bool recordVocal = engine.recordMode.load(std::memory_order_relaxed) == 1;
    const MasterSettings master = LoadMasterSettings();
    float vocalBlockPeak = 0.0f;
    float beatBlockPeak = 0.0f;
    for (uint32_t i = 0; i < nFrames; ++i) {
        const StereoSample vocal = MixVocal(ProcessVocalVoices(vocalBlock[i]), gain);
        const float beatL = beatVolume * engine.beatBlock[2 * i];
        const float beatR = beatVolume * engine.beatBlock[2 * i + 1];
        const StereoSample mix = ProcessMaster(master, beatL + vocal.left, beatR + vocal.right);
        out[2 * i] = mix.left;
        out[2 * i + 1] = mix.right;
        const StereoSample& tap = recordVocal ? vocal : mix;
        PushRecorderFrame(tap.left, tap.right);
        vocalBlockPeak = std::fmax(vocalBlockPeak, std::fabs(vocal.left));
        beatBlockPeak = std::fmax(beatBlockPeak, std::fabs(beatL));
    }
    UpdateMeter(engine.vocalPeak, vocalBlockPeak);
    UpdateMeter(engine.beatPeak, beatBlockPeak);
}

// The vocal path's state is not touched at all, so it resumes where it froze.
void RunBeatOnly(float* out, uint32_t nFrames) {
    const float beatVolume = engine.beatVolume.load(std::memory_order_relaxed);
    const bool recordMix = engine.recordMode.load(std::memory_order_relaxed) == 0;
    const MasterSettings master = LoadMasterSettings();
    float peak = 0.0f;
    for (uint32_t i = 0; i < nFrames; ++i) {
        const StereoSample mix =
            ProcessMaster(master, beatVolume * engine.beatBlock[2 * i], beatVolume * engine.beatBlock[2 * i + 1]);
        out[2 * i] = mix.left;
        out[2 * i + 1] = mix.right;
        if (recordMix) {
            PushRecorderFrame(mix.left, mix.right);
        } else {
            PushRecorderFrame(0.0f, 0.0f);
        }
        peak = std::fmax(peak, std::fmax(std::fabs(mix.left), std::fabs(mix.right)));
    }
    engine.micPeak.store(0.0f, std::memory_order_relaxed);
    engine.vocalPeak.store(0.0f, std::memory_order_relaxed);
    UpdateMeter(engine.beatPeak, peak);
}

void RunSlice(float* out, const float* input, int32_t channels, uint32_t nFrames) {
    ReadBeatBlock(nFrames);
    if (engine.studioMode.load(std::memory_order_relaxed) == 1) {
        RunBeatOnly(out, nFrames);
    } else {
        RunVocalAndBeat(out, input, channels, nFrames);
    }
}
}  // namespace

int StudioCallback(void* output, void* input, unsigned int nFrames, double, unsigned int status, void*) {
    // A clock read, not a system call: the share of the period the block took, for support.
    const auto started = std::chrono::steady_clock::now();
    ScopedDenormalFlush flush;
    engine.callbackBlocks.fetch_add(1, std::memory_order_relaxed);
    if (status != 0) engine.callbackStatusEvents.fetch_add(1, std::memory_order_relaxed);

    // Drivers may deliver more than the scratch holds: longer blocks run in slices.
    auto* out = static_cast<float*>(output);
    const auto* in = static_cast<const float*>(input);
    // Read once: the input layout must not change under a running block.
    const int32_t channels = std::max(0, engine.inputChannels.load(std::memory_order_relaxed));
    for (uint32_t done = 0; done < nFrames;) {
        const uint32_t n = std::min(nFrames - done, kSlice);
        RunSlice(out + 2 * done, in != nullptr ? in + static_cast<uint32_t>(channels) * done : nullptr, channels, n);
        done += n;
    }
    const auto busy = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started).count());
    engine.callbackBusyNanos.fetch_add(busy, std::memory_order_relaxed);
    engine.callbackFrames.fetch_add(nFrames, std::memory_order_relaxed);
    if (busy > engine.callbackWorstNanos.load(std::memory_order_relaxed)) {
        engine.callbackWorstNanos.store(busy, std::memory_order_relaxed);
    }
    return 0;
}
