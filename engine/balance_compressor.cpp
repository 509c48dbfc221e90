#include "engine/balance_compressor.h"

#include <cmath>

#include "engine/one_pole.h"

void InitBalanceCompressor(BalanceCompressor& c) {
    c.attack = OnePoleCoefficient(0.006f);
    c.release = OnePoleCoefficient(0.14f);
    ClearBalanceCompressor(c);
}

void ClearBalanceCompressor(BalanceCompressor& c) { c.envelope = 0.0f; }

float ProcessBalanceCompressor(BalanceCompressor& c, const BalanceSettings& settings, float s) {
    if (settings.amount <= 0.01f) return s;
    const float x = std::fabs(s);
    c.envelope = FollowEnvelope(c.envelope, x, x > c.envelope ? c.attack : c.release);
    const float level = LevelDb(c.envelope, 1e-5f, -100.0f);
    const float over = level - settings.thresholdDb;
    const float gainDb = over > 0.0f ? -(1.0f - 1.0f / settings.ratio) * over : 0.0f;
    return s * std::pow(10.0f, gainDb / 20.0f) * settings.makeup;
}
