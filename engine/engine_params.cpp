#include "engine/engine_params.h"

#include <memory>

#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/tone_chain.h"

EngineParams engine;

void InitEngine() {
    // Re-create the block so a second start-up (tests, reset) sees exactly
    // the values before configuration, rings and counters included.
    std::destroy_at(&engine);
    std::construct_at(&engine);
    InitReverb(engine.reverb, EngineParams::sampleRate);
    SetVocalBalance(0.55f);
    InitToneChain();
    InitMasterGlue();
    InitEcho(engine.echo, EngineParams::sampleRate);
    DesignHighPass(engine.micHighPass, EngineParams::sampleRate, 75.0f, 0.7071f);
    SetVocalAir(EngineParams::sampleRate, 2.8f);
    ClearAutoTune(engine.autoTune);
    ClearHarmony(engine.harmony);
    ResetKeyDetector();
}
