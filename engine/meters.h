#pragma once
// Meter law: a linear peak that holds the block's peak and otherwise decays
// by a fixed factor per update (per block or packet, not per unit of time).

#include <atomic>

constexpr float kMeterDecay = 0.94f;

inline float MeterLaw(float old, float blockPeak, float decay = kMeterDecay) {
    if (blockPeak > old) return blockPeak;
    const float decayed = old * decay;
    return decayed > 1e-12f ? decayed : 0.0f;  // reach 0 instead of creeping through denormals
}

// Only one thread writes a given meter at a time; readers poll at frame rate.
inline void UpdateMeter(std::atomic<float>& meter, float blockPeak, float decay = kMeterDecay) {
    meter.store(MeterLaw(meter.load(std::memory_order_relaxed), blockPeak, decay), std::memory_order_relaxed);
}
