#include "engine/engine_params.h"

#include <cmath>
#include <memory>

#include "engine/engine_setters.h"
#include "engine/master_bus.h"

EngineParams engine;

float OnePoleCoefficient(float seconds) {
    return std::exp(-1.0f / (static_cast<float>(EngineParams::sampleRate) * seconds));
}

void InitEngine() {
    // Re-create the block so a second start-up (tests, reset) sees exactly
    // the values before configuration, rings and counters included.
    std::destroy_at(&engine);
    std::construct_at(&engine);
    SetVocalBalance(0.55f);
    InitMasterGlue();
    DesignHighPass(engine.micHighPass, EngineParams::sampleRate, 75.0f, 0.7071f);
    SetVocalAir(EngineParams::sampleRate, 2.8f);
}
