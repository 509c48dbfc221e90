#pragma once
// Reads a power-of-two ring `delay` samples behind the slot `write`, with
// linear interpolation between the two neighbouring samples.

#include <cmath>
#include <cstdint>

inline float ReadBehind(const float* ring, uint32_t mask, uint32_t write, float delay) {
    float position = static_cast<float>(write) - delay;
    if (position < 0.0f) position += static_cast<float>(mask + 1);
    const float whole = std::floor(position);
    const auto i = static_cast<uint32_t>(static_cast<int32_t>(whole));
    const float u = position - whole;
    return (1.0f - u) * ring[i & mask] + u * ring[(i + 1) & mask];
}
