#include "engine/one_pole.h"

#include <cmath>

#include "engine/engine_params.h"

float OnePoleCoefficient(float seconds) {
    return std::exp(-1.0f / (static_cast<float>(EngineParams::sampleRate) * seconds));
}

float LowPassCoefficient(float frequency) {
    return 1.0f - std::exp(-2.0f * static_cast<float>(M_PI) * frequency / static_cast<float>(EngineParams::sampleRate));
}

float LevelDb(float level, float floorLevel, float floorDb) {
    return level > floorLevel ? 20.0f * std::log10(level) : floorDb;
}
