// The reverb and echo measured from what they return, and the vocal bus when
// switched, fed bad samples, pushed to its corners or left silent.

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "engine/echo.h"
#include "engine/master_bus.h"
#include "engine/reverb.h"
#include "engine/vocal_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
class VocalEffects : public EngineTest {};

template <typename Fx>
std::pair<std::vector<float>, std::vector<float>> RunStereo(Fx& fx, StereoSample (*process)(Fx&, float, float),
                                                            float level, const std::vector<float>& in) {
    std::vector<float> right;
    std::vector<float> left = RunStage([&](float x) {
        const StereoSample y = process(fx, level, x);
        right.push_back(y.right);
        return y.left;
    }, in);
    return {left, right};
}

// Schroeder's backward energy integral, its -5..-35 dB span fitted and extrapolated to 60 dB.
double T30Seconds(const std::vector<float>& y) {
    std::vector<double> edc(y.size() / 48);
    for (size_t i = 0; i < edc.size() * 48; ++i) edc[i / 48] += static_cast<double>(y[i]) * y[i];
    for (size_t i = edc.size() - 1; i-- > 0;) edc[i] += edc[i + 1];
    double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (size_t i = 0; i < edc.size(); ++i) {
        const double db = 10.0 * std::log10(edc[i] / edc[0]), t = i / 1000.0;
        if (db <= -5.0 && db >= -35.0) n += 1.0, sx += t, sy += db, sxx += t * t, sxy += t * db;
    }
    return -60.0 / ((n * sxy - sx * sy) / (n * sxx - sx * sx));
}

TEST_F(VocalEffects, ReverbRingsOnTwoIndependentSidesAndKeepsAnOffsetOutOfItsTail) {
    auto r = std::make_unique<Reverb>();
    InitReverb(*r, 48000.0f);
    std::vector<float> burst = Noise(480, 0.5f);
    burst.resize(5 * 48000, 0.0f);
    const auto [left, right] = RunStereo(*r, ProcessReverb, 1.0f, burst);
    EXPECT_NEAR(T30Seconds(left), 3.2, 0.3);  // the comb bank in theory: 3.2 s
    EXPECT_NEAR(T30Seconds(right), 3.2, 0.3);
    double lr = 0.0;
    for (size_t i = 0; i < left.size(); ++i) lr += left[i] * right[i];
    const double ll = RmsOf(left, 0, left.size()), rr = RmsOf(right, 0, right.size());
    EXPECT_NEAR(lr / left.size() / (ll * rr), 0.08, 0.05);  // only the 4% cross-feed is shared
    EXPECT_LT(std::fabs(Db(ll / rr)), 1.0);
    auto tailRms = [&](const std::vector<float>& in) {
        InitReverb(*r, 48000.0f);
        const auto [l, rt] = RunStereo(*r, ProcessReverb, 1.0f, in);
        return std::hypot(RmsOf(l, 4 * 48000, 5 * 48000), RmsOf(rt, 4 * 48000, 5 * 48000));
    };
    EXPECT_LT(Db(tailRms(std::vector<float>(5 * 48000, 0.5f)) / tailRms(Sine(5 * 48000, 1000.0, 0.5f))), -40.0);
}

TEST_F(VocalEffects, EchoRepeatsAfter165And205MsThenCrossesSides) {
    auto e = std::make_unique<Echo>();
    InitEcho(*e, 48000.0f);
    std::vector<float> impulse(30000, 0.0f);
    impulse[0] = 1.0f;
    const auto [left, right] = RunStereo(*e, ProcessEcho, 1.0f, impulse);
    // Smoothed by 0.35 a sample, fed across at 0.16 and smoothed again: peaks at m = 1 and m = 3.
    const double secondPeak = 0.35 * 0.35 * 0.16 * 1.3, thirdPeak = std::pow(0.35, 3) * 0.256 * std::pow(0.65, 3);
    for (const auto& [y, at] : {std::pair{&left, std::vector<size_t>{7920, 17760, 25680}},
                                {&right, std::vector<size_t>{9840, 17760, 27600}}}) {
        for (int m = 0; m < 40; ++m) EXPECT_NEAR((*y)[at[0] + m], 0.35 * std::pow(0.65, m), 1e-6) << m;
        EXPECT_NEAR((*y)[at[1] + 1], secondPeak, 1e-6);
        EXPECT_NEAR((*y)[at[2] + 3], thirdPeak, 1e-7);
        size_t stray = 0;  // nothing before or between: no line feeds itself
        for (size_t i = 0; i < y->size(); ++i) {
            const bool inRepeat = std::any_of(at.begin(), at.end(), [i](size_t s) { return i >= s && i < s + 400; });
            stray += !inRepeat && std::fabs((*y)[i]) > 1e-30f;
        }
        EXPECT_EQ(stray, 0u);
    }
}

using Amount = void (*)(float);
constexpr Amount kAmounts[] = {SetVocalBalance, SetVocalBody, SetVocalOpto, SetVocalBodyPlus, SetVocalSmooth,
                               SetVocalWarmth, [](float a) { SetVocalAir(48000.0f, 10.0f * a); }, SetReverbLevel,
                               SetEchoLevel};

size_t Differing(const std::vector<float>& a, const std::vector<float>& b, size_t fromBlock, size_t toBlock) {
    size_t n = 0;
    for (size_t i = 512 * fromBlock; i < 512 * toBlock; ++i) n += !(a[i] == b[i]);
    return n;
}

size_t StatesWhere(bool (*pred)(float)) {  // delay lines and filter states of the vocal path
    size_t n = 0;
    auto scan = [&](const float* p, size_t count) { n += std::count_if(p, p + count, pred); };
    for (int side = 0; side < 2; ++side) {
        for (const ReverbComb& c : engine.reverb.combs[side]) scan(c.line, kReverbMaxComb), scan(&c.damp, 1);
        for (const ReverbAllPass& a : engine.reverb.allPasses[side]) scan(a.line, kReverbMaxAllPass);
    }
    scan(engine.reverb.preDelay, kReverbPreDelayMax);
    scan(engine.echo.lineL, kEchoMaxLeft);
    scan(engine.echo.lineR, kEchoMaxRight);
    const float scalars[] = {engine.echo.dampL, engine.echo.dampR, engine.reverb.inputLowPass, engine.micHighPass.y1,
                             engine.micHighPass.y2, engine.preLeveler.envelope, engine.balance.envelope,
                             engine.opto.envelope, engine.deEsser.levelEnvelope, engine.warmth.lowPass, engine.glueEnv};
    scan(scalars, std::size(scalars));
    return n;
}

TEST_F(VocalEffects, FxSwitchMutesTheReturnsWhileTheTailsRunOn) {
    const float reverb = engine.reverbLevel, echo = engine.echoLevel;
    std::vector<float> mic = Sine(80 * 256, 220.0, 0.3f);  // a phrase, then silence
    mic.resize(200 * 256, 0.0f);
    auto render = [&](const std::function<void(size_t)>& beforeBlock) {
        InitEngine();
        SetMasterGlue(0.0f);  // a stateless master, so runs compare sample for sample
        return Play(mic, beforeBlock);
    };
    auto on = [](size_t b) { return b < 40 || b >= 160; };
    // Switched off, the returns are muted as at level 0 while the tails build; back on, they return at once.
    const std::vector<float> reference = render({}), switched = render([&](size_t b) { engine.fxEnabled = on(b); });
    const std::vector<float> levelsDown = render([&](size_t b) {
        SetReverbLevel(on(b) ? reverb : 0.0f);
        SetEchoLevel(on(b) ? echo : 0.0f);
    });
    EXPECT_EQ(Differing(switched, levelsDown, 40, 160), 0u);
    EXPECT_EQ(Differing(switched, reference, 160, 200), 0u);
    EXPECT_EQ(Differing(levelsDown, reference, 160, 200), 0u);
    EXPECT_GT(RmsOf(switched, 512 * 160, 512 * 161), 0.01);  // the tail is back at once
}

TEST_F(VocalEffects, BadSamplesAreSilencedAndNeverStickInTheTails) {
    auto play = [](float bad) {  // every stage at full amount; one sample of the voice replaced
        InitEngine();
        for (const Amount set : kAmounts) set(1.0f);
        std::vector<float> mic = Sine(60 * 256, 220.0, 0.1f);
        mic[20 * 256 + 100] = bad;
        return Play(mic);
    };
    const std::vector<float> reference = play(0.0f);
    for (const float bad : {NAN, INFINITY, -INFINITY, 3e38f, -1e20f, 9.0f}) {  // huge finite samples too
        const std::vector<float> out = play(bad);
        EXPECT_EQ(engine.nonFiniteSamples, 1u) << bad;
        EXPECT_EQ(Differing(out, reference, 0, 60), 0u) << bad;
        EXPECT_EQ(StatesWhere([](float v) { return !std::isfinite(v); }), 0u) << bad;
    }
}

TEST_F(VocalEffects, EveryControlCornerIsSilentOnSilenceAndBoundedOnFullScaleNoise) {
    std::vector<float> in = Noise(21600, 1.0f);  // silence, a full-scale burst, silence
    std::fill(in.begin(), in.begin() + 2400, 0.0f);
    std::fill(in.begin() + 12000, in.end(), 0.0f);
    const int count = static_cast<int>(std::size(kAmounts));
    for (int flipped = -1; flipped < count; ++flipped) {  // all alike, or one against the rest
        for (const float base : {0.0f, 1.0f}) {
            InitEngine();
            for (int i = 0; i < count; ++i) kAmounts[i](i == flipped ? 1.0f - base : base);
            const std::vector<float> peak = RunStage([](float s) {
                const StereoSample y = MixVocal(ProcessVocalVoices(s), 1.0f);
                return std::isfinite(y.left + y.right) ? std::fmax(std::fabs(y.left), std::fabs(y.right)) : INFINITY;
            }, in);
            EXPECT_EQ(*std::max_element(peak.begin(), peak.begin() + 2400), 0.0f) << base << " " << flipped;
            EXPECT_LT(*std::max_element(peak.begin(), peak.end()), 16.0f) << base << " " << flipped;
        }
    }
}

TEST_F(VocalEffects, LongSilenceAfterABurstLeavesNoSubnormalState) {
    SetReverbLevel(1.0f);
    SetEchoLevel(1.0f);
    std::vector<float> mic = Noise(60 * 256, 1.0f);
    mic.resize(1940 * 256, 0.0f);
    const std::vector<float> out = Play(mic);
    auto subnormal = [](float v) { return std::fpclassify(v) == FP_SUBNORMAL; };
    EXPECT_EQ(std::count_if(out.begin(), out.end(), subnormal), 0);
    EXPECT_EQ(StatesWhere(subnormal), 0u);
}
}  // namespace
