#include "engine/beat_ring.h"

#include <algorithm>
#include <thread>

#include "engine/engine_params.h"
#include "engine/spsc_ring.h"

namespace {
constexpr int64_t kSize = EngineParams::beatRingSize;
constexpr int32_t kNobody = -1;

int64_t Fill(int64_t write, int64_t read) { return RingWaiting(write, read, kSize); }

int64_t Advance(int64_t index, int64_t count) { return RingAdvance(index, count, kSize); }

int64_t TargetFill() {
    return std::max(engine.beatRingPrefill.load(std::memory_order_relaxed),
                    engine.beatRingCushion.load(std::memory_order_relaxed)) +
           engine.beatRingReaderTake.load(std::memory_order_relaxed);
}

void ShutGate() {
    if (!engine.beatRingPriming.exchange(true, std::memory_order_acq_rel)) {
        engine.beatRingReprimes.fetch_add(1, std::memory_order_relaxed);
    }
}

int64_t ReadHeldRing(float* destination, int64_t count) {
    if (engine.beatRingPriming.load(std::memory_order_acquire)) return 0;
    // Read before the indices, so it can only overstate what was written since.
    const int64_t startedBefore = engine.beatRingStarted.load(std::memory_order_acquire);
    const int64_t start = engine.beatRingRead.load(std::memory_order_acquire);
    const int64_t write = engine.beatRingWrite.load(std::memory_order_acquire);
    if (Fill(write, start) < count) {
        ShutGate();
        return 0;
    }
    CopyOutOfRing(engine.beatRing, kSize, start, destination, count);
    // A read-modify-write with release keeps the copy's loads before this count.
    const int64_t startedSince = engine.beatRingStarted.fetch_add(0, std::memory_order_acq_rel) - startedBefore;
    if (startedSince > kSize - Fill(write, start)) {
        // Held up for a whole lap: the copy may mix laps, so it is not delivered.
        ShutGate();
        return 0;
    }

    // A trim by the producer may have moved the read index meanwhile. Keep
    // whichever position is further on, so no sample is delivered twice and
    // none is delivered after a later one.
    const int64_t next = Advance(start, count);
    int64_t seen = start;
    while (
        !engine.beatRingRead.compare_exchange_weak(seen, next, std::memory_order_acq_rel, std::memory_order_acquire)) {
        if (Fill(seen, start) >= count) break;
    }
    return count;
}
}  // namespace

int64_t BeatRingFill() {
    return Fill(engine.beatRingWrite.load(std::memory_order_acquire),
                engine.beatRingRead.load(std::memory_order_acquire));
}

int64_t ReadBeatRing(float* destination, int64_t count, BeatReader who) {
    const auto me = static_cast<int32_t>(who);
    // The reader without the ring leaves before raising its flag, so it can
    // never keep a hand-over waiting.
    if (engine.beatRingHolder.load(std::memory_order_relaxed) != me) return 0;
    std::atomic<bool>& busy = engine.beatReaderBusy[me];
    // Flag, then holder; HandBeatRingTo does holder, then flag. Sequentially
    // consistent, so either this read sees the ring taken or the hand-over
    // sees the flag and waits.
    busy.store(true);
    int64_t got = 0;
    if (engine.beatRingHolder.load() == me) {
        if (engine.beatReadersInside.fetch_add(1, std::memory_order_relaxed) != 0) {
            engine.beatReaderOverlaps.fetch_add(1, std::memory_order_relaxed);
        }
        got = ReadHeldRing(destination, count);
        engine.beatReadersInside.fetch_sub(1, std::memory_order_relaxed);
    }
    busy.store(false, std::memory_order_release);
    return got;
}

void HandBeatRingTo(BeatReader who) {
    engine.beatRingHolder.store(kNobody);
    for (const std::atomic<bool>& busy : engine.beatReaderBusy) {
        while (busy.load()) std::this_thread::yield();  // a read takes microseconds
    }
    ResetBeatRing();
    engine.beatRingReaderTake = 0;
    engine.beatRingHolder.store(static_cast<int32_t>(who), std::memory_order_release);
}

void ReprimeBeatRing() {
    if (BeatRingFill() < TargetFill()) ShutGate();
}

bool HoldsBeatRing(BeatReader who) {
    return engine.beatRingHolder.load(std::memory_order_acquire) == static_cast<int32_t>(who);
}

void WriteBeatRing(const float* source, int64_t count) {
    engine.beatRingStarted.fetch_add(count, std::memory_order_acq_rel);  // counted before any slot changes
    const int64_t write = engine.beatRingWrite.load(std::memory_order_relaxed);
    CopyIntoRing(engine.beatRing, kSize, write, source, count);
    PublishRingIndex(engine.beatRingWrite, Advance(write, count));

    // Reading the fill every time also acquires the consumer's read index,
    // which orders the next lap's writes after its reads of those slots.
    const bool reached = BeatRingFill() >= TargetFill();
    if (reached && engine.beatRingPriming.load(std::memory_order_acquire)) {
        engine.beatRingPriming.store(false, std::memory_order_release);
    }
}

int64_t TrimBeatRing(int64_t limit) {
    const int64_t write = engine.beatRingWrite.load(std::memory_order_relaxed);
    int64_t read = engine.beatRingRead.load(std::memory_order_acquire);
    for (;;) {
        const int64_t excess = Fill(write, read) - limit;
        if (excess <= 0) return 0;
        const int64_t drop = (excess + 1) & ~int64_t{1};  // whole stereo frames
        if (engine.beatRingRead.compare_exchange_weak(read, Advance(read, drop), std::memory_order_acq_rel,
                                                      std::memory_order_acquire)) {
            return drop;
        }
    }
}

void SetBeatPrefill(int32_t samples) {
    engine.beatRingPrefill = std::min<int32_t>(kSize / 2, std::max(EngineParams::beatPrefillMin, samples));
}

void SetBeatReaderTake(int32_t samples) { engine.beatRingReaderTake = std::clamp<int32_t>(samples, 0, kSize / 4); }

void ResetBeatRing() {
    engine.beatRingWrite = 0;
    engine.beatRingRead = 0;
    engine.beatRingPriming = true;
}
