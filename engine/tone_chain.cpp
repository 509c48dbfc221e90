#include "engine/tone_chain.h"

#include "engine/engine_params.h"

void InitToneChain() {
    InitPreLeveler(engine.preLeveler);
    InitBalanceCompressor(engine.balance);
    DesignBodyEq(engine.bodyEq, engine.bodyAmount);
    ClearBodyEq(engine.bodyEq);
    InitDeEsser(engine.deEsser);
    InitOptoLeveler(engine.opto);
    InitBodyPlus(engine.bodyPlus);
    InitWarmth(engine.warmth);
    ClearAirEq(engine.air);
}

void ClearToneChain() {
    ClearPreLeveler(engine.preLeveler);
    ClearBalanceCompressor(engine.balance);
    ClearBodyEq(engine.bodyEq);
    ClearOptoLeveler(engine.opto);
    ClearBodyPlus(engine.bodyPlus);
    ClearDeEsser(engine.deEsser);
    ClearWarmth(engine.warmth);
    ClearAirEq(engine.air);
}

float ProcessToneChain(float s) {
    constexpr auto relaxed = std::memory_order_relaxed;
    s = ProcessPreLeveler(engine.preLeveler, s);
    const BalanceSettings balance{engine.balanceAmount.load(relaxed), engine.balanceThresholdDb.load(relaxed),
                                  engine.balanceRatio.load(relaxed), engine.balanceMakeup.load(relaxed)};
    s = ProcessBalanceCompressor(engine.balance, balance, s);
    s = ProcessBodyEq(engine.bodyEq, s);
    s = ProcessOptoLeveler(engine.opto, engine.optoAmount.load(relaxed), s);
    s = ProcessBodyPlus(engine.bodyPlus, engine.bodyPlusAmount.load(relaxed), s);
    s = ProcessDeEsser(engine.deEsser, engine.smoothAmount.load(relaxed), s);
    s = ProcessWarmth(engine.warmth, engine.warmthAmount.load(relaxed), s);
    return ProcessAirEq(engine.air, engine.airDb.load(relaxed), s);
}
