#include "engine/pre_leveler.h"

#include <cmath>

#include "engine/one_pole.h"

void InitPreLeveler(PreLeveler& p) {
    p.attack = OnePoleCoefficient(0.0025f);
    p.release = OnePoleCoefficient(0.07f);
    ClearPreLeveler(p);
}

void ClearPreLeveler(PreLeveler& p) { p.envelope = 0.0f; }

float ProcessPreLeveler(PreLeveler& p, float s) {
    const float x = std::fabs(s);
    p.envelope = FollowEnvelope(p.envelope, x, x > p.envelope ? p.attack : p.release);
    const float level = LevelDb(p.envelope, 1e-6f, -120.0f);
    if (level <= -10.0f) return s;
    const float gainDb = std::fmax(-4.5f, 0.75f * (-10.0f - level));
    return s * std::pow(10.0f, gainDb / 20.0f);
}
