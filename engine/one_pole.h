#pragma once
// One-pole building blocks shared by the dynamics stages and the effects.
// Coefficients are computed once for the engine rate, never per sample.

// Smoothing coefficient for time constant t seconds: exp(-1 / (rate * t)).
float OnePoleCoefficient(float seconds);
// Low-pass coefficient for corner f: 1 - exp(-2 pi f / rate).
float LowPassCoefficient(float frequency);

// Envelope step: e <- (1 - c) * x + c * e.
inline float FollowEnvelope(float envelope, float x, float c) { return (1.0f - c) * x + c * envelope; }

// lp <- lp + (x - lp) * k; returns the new lp.
inline float RunLowPass(float& lp, float x, float k) {
    lp += (x - lp) * k;
    return lp;
}

// dB of a level that may be zero: below floorLevel it reports floorDb.
float LevelDb(float level, float floorLevel, float floorDb);
