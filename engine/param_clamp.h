#pragma once
// Clamp for user values: unlike std::clamp a NaN lands on the lower bound,
// so a corrupt value can never reach the audio path.
inline float ClampParam(float v, float lo, float hi) {
    return v > lo ? (v < hi ? v : hi) : lo;
}
