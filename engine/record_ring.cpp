#include "engine/record_ring.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_params.h"

namespace {
int16_t ToPcm16(float v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767.0f);  // truncates toward zero
}
}  // namespace

void PushRecorderFrame(float left, float right) {
    if (!engine.recorderActive.load(std::memory_order_acquire)) return;
    const uint64_t write = engine.recordWriteIndex.load(std::memory_order_relaxed);
    const uint64_t read = engine.recordReadIndex.load(std::memory_order_acquire);
    if (write - read + 2 > EngineParams::recordRingSize) {
        engine.recordFramesDropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    engine.recordRing[write & EngineParams::recordRingMask] = ToPcm16(left);
    engine.recordRing[(write + 1) & EngineParams::recordRingMask] = ToPcm16(right);
    engine.recordWriteIndex.store(write + 2, std::memory_order_release);
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
    for (uint64_t i = 0; i < count; ++i) destination[i] = engine.recordRing[(read + i) & EngineParams::recordRingMask];
    engine.recordReadIndex.store(read + count, std::memory_order_release);
    return count;
}
