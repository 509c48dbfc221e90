#include "devices/beat_capture.h"

#include <algorithm>
#include <cmath>

#include "devices/beat_pump.h"
#include "devices/player_mode.h"
#include "engine/beat_ring.h"
#include "engine/beat_tone.h"
#include "engine/engine_params.h"
#include "engine/meters.h"
#include "platform/audio_endpoints.h"
#include "platform/audio_streams.h"
#include "platform/console.h"

BeatCapture beatCapture;

namespace {
constexpr uint32_t kScratchFrames = 48000;
constexpr uint32_t kReceiveFrames = 512;
constexpr uint32_t kCaptureBufferFrames = 2400;  // 50 ms
constexpr int64_t kStudioLimit = 6720;           // 70 ms of stereo
constexpr int64_t kMiniLimit = 19200;            // 200 ms
constexpr double kFirstPumpGap = 1600.0;         // a cautious first guess, a 60 Hz frame, stereo
constexpr double kShortestPumpGap = 96.0;        // 1 ms
constexpr double kLongestPumpGap = 4800.0;       // 50 ms: beyond it the capture itself overflows
constexpr double kPumpGapDecay = 0.99;           // per pump: a stall is forgotten in about half a second

void DecayCablePeak() { UpdateMeter(engine.cablePeak, 0.0f); }

// Filters n stereo frames into the scratch buffer and returns their peak.
float FilterIntoScratch(const float* samples, uint32_t n) {
    float peak = 0.0f;
    float* out = beatCapture.stereoScratch.data();
    for (uint32_t i = 0; i < n; ++i) {
        const float left = samples[2 * i];
        const float right = samples[2 * i + 1];
        peak = std::max({peak, std::fabs(left), std::fabs(right)});
        out[2 * i] = ProcessBiquad(beatCapture.beatHighPassL, left);
        out[2 * i + 1] = ProcessBiquad(beatCapture.beatHighPassR, right);
    }
    return peak;
}

// The shifter delivers a whole sequence at once (about 40 ms), released
// at a pump one or more pump gaps after the one before. The gate waits for
// one burst and two pump gaps of beat, and the latency limit leaves room for
// one more burst on top, so the consumer does not run dry between bursts and
// the trim never cuts a burst that just arrived.
int64_t CushionSamples() {
    return 2 * static_cast<int64_t>(BeatShifterBurstFrames()) + 2 * static_cast<int64_t>(beatCapture.pumpGapSamples);
}

void TrackPumpGap() {
    const auto now = std::chrono::steady_clock::now();
    double gap = kFirstPumpGap;
    if (beatCapture.lastPump != std::chrono::steady_clock::time_point{}) {
        gap = std::chrono::duration<double>(now - beatCapture.lastPump).count() * 2.0 * EngineParams::sampleRate;
    }
    beatCapture.lastPump = now;
    gap = std::clamp(gap, kShortestPumpGap, kLongestPumpGap);
    beatCapture.pumpGapSamples = std::max(gap, beatCapture.pumpGapSamples * kPumpGapDecay);
}

// Whatever the shifter has ready goes to the ring in batches of 512 frames;
// then the backlog is trimmed to the mode's latency limit.
void MoveShifterOutputToRing() {
    const int64_t cushion = CushionSamples();
    float* scratch = beatCapture.stereoScratch.data();
    while (const uint32_t got = ReceiveBeatFrames(scratch, kReceiveFrames)) {
        WriteBeatRing(scratch, 2 * static_cast<int64_t>(got));
    }
    const int64_t limit =
        std::max(miniPlayerActive ? kMiniLimit : kStudioLimit, cushion + 2 * BeatShifterBurstFrames());
    beatCapture.samplesTrimmed += static_cast<uint64_t>(TrimBeatRing(limit));
}

void TakePacket(const float* samples, uint32_t frames) {
    const uint32_t n = std::min(frames, kScratchFrames);
    const float peak = FilterIntoScratch(samples, n);
    UpdateMeter(engine.cablePeak, peak);
    PutBeatFrames(beatCapture.stereoScratch.data(), n);
    MoveShifterOutputToRing();
    ++beatCapture.packets;
    beatCapture.framesCaptured += n;
}

void LoseStream() {
    CloseBeatCapture();
    ++beatCapture.streamsLost;
}
}  // namespace

void InitBeatCapture() {
    beatCapture.stereoScratch.assign(2 * kScratchFrames, 0.0f);
    beatCapture.packets = beatCapture.framesCaptured = beatCapture.silentPackets = 0;
    beatCapture.samplesTrimmed = 0;
    beatCapture.streamsLost = 0;
    beatCapture.lastPump = {};
    beatCapture.pumpGapSamples = 0.0;
    for (Biquad* f : {&beatCapture.beatHighPassL, &beatCapture.beatHighPassR}) {
        DesignHighPass(*f, EngineParams::sampleRate, 40.0f, 0.7071f);
        ClearBiquad(*f);
    }
    InitBeatPitchShifter();
}

bool IsCableName(const std::string& name) { return name.find("CABLE") != std::string::npos; }

bool FindCableEndpoint(std::string& id, std::string& name, std::string& reason) {
    std::vector<AudioEndpoint> outputs;
    std::string defaultId;
    if (!ListAudioEndpoints(EndpointFlow::Render, outputs, defaultId, reason)) return false;
    for (const AudioEndpoint& e : outputs) {
        if (IsCableName(e.name)) {
            id = e.id;
            name = e.name;
            Console("[OK] Da tim thay: " + name + "\n");
            return true;
        }
    }
    reason = "no output whose name contains CABLE";
    return false;
}

bool OpenBeatCapture() {
    const BeatPumpPause pause;
    CloseBeatCapture();
    beatCapture.lastPump = {};
    std::string name;
    std::string& reason = beatCapture.openError;
    if (!FindCableEndpoint(beatCapture.cableId, name, reason)) return false;
    beatCapture.stream = OpenCaptureStream(beatCapture.cableId, true, StreamFormat{}, kCaptureBufferFrames, reason);
    beatCapture.beatCaptureReady = beatCapture.stream != nullptr;
    if (!beatCapture.beatCaptureReady) return false;
    reason.clear();
    // What the filters and the shifter still hold ended when the last stream did.
    ClearBiquad(beatCapture.beatHighPassL);
    ClearBiquad(beatCapture.beatHighPassR);
    ClearBeatPitchShifter();
    ReprimeBeatRing();
    return true;
}

void CloseBeatCapture() {
    const BeatPumpPause pause;
    CloseCaptureStream(beatCapture.stream);
    beatCapture.stream = nullptr;
    beatCapture.beatCaptureReady = false;
}

void PumpBeat() {
    if (!beatCapture.beatCaptureReady || beatCapture.stream == nullptr || beatCapture.stereoScratch.empty()) {
        DecayCablePeak();
        return;
    }
    TrackPumpGap();
    engine.beatRingCushion.store(static_cast<int32_t>(CushionSamples()), std::memory_order_relaxed);
    for (;;) {
        const void* data = nullptr;
        uint32_t frames = 0;
        if (!PeekCapturePacket(beatCapture.stream, data, frames)) {
            LoseStream();
            return;
        }
        if (frames == 0) return;
        if (data == nullptr) {
            ++beatCapture.silentPackets;  // the shifter is not fed silence the system made up
        } else {
            TakePacket(static_cast<const float*>(data), frames);
        }
        ReleaseCapturePacket(beatCapture.stream);
    }
}

void PumpBeatPacket(const float* samples, uint32_t frames) { TakePacket(samples, frames); }
