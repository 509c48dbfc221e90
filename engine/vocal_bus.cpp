#include "engine/vocal_bus.h"

#include <cmath>

#include "engine/engine_params.h"
#include "engine/harmony.h"
#include "engine/tone_chain.h"

namespace {
bool IsFinite(const VocalVoices& v) {
    // A sum of finite values stays finite in audio ranges; inf - inf is NaN.
    return std::isfinite(v.dry + v.harmonyLow + v.harmonyHigh + v.reverb.left + v.reverb.right + v.echo.left +
                         v.echo.right);
}

void CountNonFinite() { engine.nonFiniteSamples.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

void ClearVocalPath() {
    ClearToneChain();
    ClearReverb(engine.reverb);
    ClearEcho(engine.echo);
    ClearHarmony(engine.harmony);
}

VocalVoices ProcessVocalVoices(float s) {
    constexpr auto relaxed = std::memory_order_relaxed;
    if (!std::isfinite(s)) {
        CountNonFinite();
        s = 0.0f;
    }
    VocalVoices v;
    v.dry = ProcessToneChain(s);
    if (engine.harmonyEnabled.load(relaxed)) {
        const HarmonyVoices h = ProcessHarmony(v.dry);
        v.harmonyLow = h.low;
        v.harmonyHigh = h.high;
    }
    v.reverb = ProcessReverb(engine.reverb, engine.reverbLevel.load(relaxed),
                             v.dry + 0.5f * (v.harmonyLow + v.harmonyHigh));
    v.echo = ProcessEcho(engine.echo, engine.echoLevel.load(relaxed), v.dry);
    if (!IsFinite(v)) {
        // An overflow inside a state would otherwise ring in the combs and
        // the echo lines for good: start the vocal path afresh instead.
        CountNonFinite();
        ClearVocalPath();
        return {};
    }
    if (!engine.fxEnabled.load(relaxed)) {
        v.reverb = {};
        v.echo = {};
    }
    return v;
}

StereoSample MixVocal(const VocalVoices& v, float gain) {
    return {(1.1f * v.dry + v.harmonyLow + v.reverb.left + v.echo.left) * gain,
            (1.1f * v.dry + v.harmonyHigh + v.reverb.right + v.echo.right) * gain};
}
