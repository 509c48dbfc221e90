#pragma once
// Meter law: a linear peak that holds the block's peak and otherwise decays
// by 0.94 per update (per block, not per unit of time).

#include <atomic>

constexpr float kMeterDecay = 0.94f;

inline float MeterLaw(float old, float blockPeak) {
    if (blockPeak > old) return blockPeak;
    const float decayed = old * kMeterDecay;
    return decayed > 1e-12f ? decayed : 0.0f;  // reach 0 instead of creeping through denormals
}

// Only one thread writes a given meter at a time; readers poll at frame rate.
inline void UpdateMeter(std::atomic<float>& meter, float blockPeak) {
    meter.store(MeterLaw(meter.load(std::memory_order_relaxed), blockPeak), std::memory_order_relaxed);
}
