#pragma once
// Index and length helpers for the fixed-size delay lines of the effects.

#include <algorithm>
#include <cmath>
#include <cstdint>

inline void AdvanceDelayIndex(uint32_t& index, uint32_t length) {
    if (++index == length) index = 0;
}

// Stores x in the slot just read (line[index], the sample length steps ago).
inline void PushDelay(float* line, uint32_t& index, uint32_t length, float x) {
    line[index] = x;
    AdvanceDelayIndex(index, length);
}

// A plain delay: x goes in as the sample length steps ago comes out.
inline float StepDelay(float* line, uint32_t& index, uint32_t length, float x) {
    const float y = line[index];
    PushDelay(line, index, length, x);
    return y;
}

// floor(samples), at least 1 and at most the compiled capacity of the line.
inline uint32_t DelayLength(double samples, uint32_t capacity) {
    return std::clamp<uint32_t>(static_cast<uint32_t>(std::floor(samples)), 1, capacity);
}
