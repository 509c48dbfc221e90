#pragma once
// tanh(x * drive) / tanh(drive): unity slope at full drive-normalised level;
// a drive too small to divide by leaves x as it is.

#include <cmath>

inline float NormalisedTanh(float x, float drive) {
    const float norm = std::tanh(drive);
    return norm > 1e-6f ? std::tanh(x * drive) / norm : x;
}
