#include "engine/bridge_ring.h"

#include <algorithm>

#include "engine/engine_params.h"
#include "engine/spsc_ring.h"

namespace {
constexpr uint32_t kSize = EngineParams::bridgeRingSize;

uint32_t Backlog(uint32_t write, uint32_t read) { return RingWaiting(write, read, kSize); }
}  // namespace

uint32_t WriteBridgeRing(const float* source, uint32_t count) {
    const uint32_t write = engine.bridgeWriteIndex.load(std::memory_order_relaxed);
    const uint32_t read = engine.bridgeReadIndex.load(std::memory_order_acquire);
    const uint32_t stored = std::min(count, kSize - 1 - Backlog(write, read));  // one slot stays free
    CopyIntoRing(engine.bridgeRing, kSize, write, source, stored);
    const uint32_t next = RingAdvance(write, stored, kSize);
    PublishRingIndex(engine.bridgeWriteIndex, next);
    engine.bridgeFramesCaptured.fetch_add(count, std::memory_order_relaxed);
    engine.bridgeFillFrames.store(Backlog(next, read), std::memory_order_relaxed);
    return stored;
}

uint32_t ReadBridgeBlock(float* destination, uint32_t nFrames) {
    const uint32_t write = engine.bridgeWriteIndex.load(std::memory_order_acquire);
    uint32_t read = engine.bridgeReadIndex.load(std::memory_order_relaxed);
    // What the last capture left behind is discarded here, by the index's
    // owner, never by the thread that stopped the capture.
    const int64_t flushTo = engine.bridgeFlushTo.exchange(-1, std::memory_order_acq_rel);
    if (flushTo >= 0 && Backlog(static_cast<uint32_t>(flushTo), read) <= Backlog(write, read)) {
        read = static_cast<uint32_t>(flushTo);  // forward only
    }
    if (Backlog(write, read) > EngineParams::bridgeLatencyCut) {
        read = (write + kSize - EngineParams::bridgeLatencyCut) % kSize;
    }
    const uint32_t take = std::min(nFrames, Backlog(write, read));
    CopyOutOfRing(engine.bridgeRing, kSize, read, destination, take);
    read = RingAdvance(read, take, kSize);
    PublishRingIndex(engine.bridgeReadIndex, read);

    if (take < nFrames) engine.bridgeUnderruns.fetch_add(1, std::memory_order_relaxed);
    engine.bridgeFramesConsumed.fetch_add(take, std::memory_order_relaxed);
    engine.bridgeFillFrames.store(Backlog(write, read), std::memory_order_relaxed);
    return take;
}

void FlushBridgeRing() {
    engine.bridgeFlushTo.store(engine.bridgeWriteIndex.load(std::memory_order_acquire), std::memory_order_release);
}

void ResetBridgeRing() {
    FlushBridgeRing();
    engine.bridgeFramesCaptured = 0;
    engine.bridgeFramesConsumed = 0;
    engine.bridgeUnderruns = 0;
    engine.bridgeFillFrames = 0;
}
