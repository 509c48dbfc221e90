#include "engine/bridge_ring.h"

#include <algorithm>

#include "engine/engine_params.h"

namespace {
constexpr uint32_t kMask = EngineParams::bridgeRingMask;

uint32_t Backlog(uint32_t write, uint32_t read) { return (write - read) & kMask; }
}  // namespace

uint32_t WriteBridgeRing(const float* source, uint32_t count) {
    uint32_t write = engine.bridgeWriteIndex.load(std::memory_order_relaxed);
    const uint32_t read = engine.bridgeReadIndex.load(std::memory_order_acquire);
    uint32_t stored = 0;
    while (stored < count && ((write + 1) & kMask) != read) {
        engine.bridgeRing[write] = source[stored++];
        write = (write + 1) & kMask;
    }
    engine.bridgeWriteIndex.store(write, std::memory_order_release);
    engine.bridgeFramesCaptured.fetch_add(count, std::memory_order_relaxed);
    engine.bridgeFillFrames.store(Backlog(write, read), std::memory_order_relaxed);
    return stored;
}

uint32_t ReadBridgeBlock(float* destination, uint32_t nFrames) {
    const uint32_t write = engine.bridgeWriteIndex.load(std::memory_order_acquire);
    uint32_t read = engine.bridgeReadIndex.load(std::memory_order_relaxed);
    if (Backlog(write, read) > EngineParams::bridgeLatencyCut) {
        read = (write - EngineParams::bridgeLatencyCut) & kMask;
    }
    const uint32_t take = std::min(nFrames, Backlog(write, read));
    for (uint32_t i = 0; i < take; ++i) destination[i] = engine.bridgeRing[(read + i) & kMask];
    read = (read + take) & kMask;
    engine.bridgeReadIndex.store(read, std::memory_order_release);

    if (take < nFrames) engine.bridgeUnderruns.fetch_add(1, std::memory_order_relaxed);
    engine.bridgeFramesConsumed.fetch_add(take, std::memory_order_relaxed);
    engine.bridgeFillFrames.store(Backlog(write, read), std::memory_order_relaxed);
    return take;
}

void ResetBridgeRing() {
    engine.bridgeWriteIndex = 0;
    engine.bridgeReadIndex = 0;
    engine.bridgeFramesCaptured = 0;
    engine.bridgeFramesConsumed = 0;
    engine.bridgeUnderruns = 0;
    engine.bridgeFillFrames = 0;
}
