#include "engine/record_ring.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_params.h"
#include "engine/spsc_ring.h"

namespace {
constexpr uint64_t kSize = EngineParams::recordRingSize;

int16_t ToPcm16(float v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767.0f);  // truncates toward zero
}
}  // namespace

// The counts only grow: what waits is their difference, and a slot is a count
// reduced to the ring.
void PushRecorderFrame(float left, float right) {
    if (!engine.recorderActive.load(std::memory_order_acquire)) return;
    const uint64_t write = engine.recordWriteIndex.load(std::memory_order_relaxed);
    const uint64_t read = engine.recordReadIndex.load(std::memory_order_acquire);
    if (write - read + 2 > kSize) {
        engine.recordFramesDropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const int16_t frame[2] = {ToPcm16(left), ToPcm16(right)};
    CopyIntoRing(engine.recordRing, kSize, write % kSize, frame, uint64_t{2});
    PublishRingIndex(engine.recordWriteIndex, write + 2);
    engine.recordFramesPushed.fetch_add(1, std::memory_order_relaxed);
}

void ResetRecordRing() {
    engine.recordWriteIndex = 0;
    engine.recordReadIndex = 0;
    engine.recordFramesPushed = 0;
    engine.recordFramesDropped = 0;
}

uint64_t RecordRingPending() {
    return engine.recordWriteIndex.load(std::memory_order_acquire) - engine.recordReadIndex.load(std::memory_order_relaxed);
}

uint64_t ReadRecordRing(int16_t* destination, uint64_t maxSamples) {
    const uint64_t read = engine.recordReadIndex.load(std::memory_order_relaxed);
    const uint64_t write = engine.recordWriteIndex.load(std::memory_order_acquire);
    const uint64_t count = std::min(write - read, maxSamples & ~uint64_t{1});
    CopyOutOfRing(engine.recordRing, kSize, read % kSize, destination, count);
    PublishRingIndex(engine.recordReadIndex, read + count);
    return count;
}
