// The dynamics and saturation stages of the vocal tone chain, measured from
// their outputs: static curves with steady levels, time constants from level
// steps, de-essing by frequency and distortion by amount.

#include <cmath>
#include <utility>
#include <vector>

#include "engine/tone_chain.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
class ToneDynamics : public EngineTest {};

double FromDb(double db) { return std::pow(10.0, db / 20.0); }

// A 1 kHz square whose level changes in steps: |x| is constant within a
// step, so a peak detector settles exactly on the level.
std::vector<float> SquareSteps(const std::vector<std::pair<unsigned, double>>& stepsDb) {
    std::vector<float> v;
    for (const auto& [frames, db] : stepsDb) {
        for (unsigned i = 0; i < frames; ++i) {
            v.push_back(static_cast<float>((v.size() / 24 % 2 ? -1.0 : 1.0) * FromDb(db)));
        }
    }
    return v;
}

std::vector<double> GainDb(const std::vector<float>& in, const std::vector<float>& out) {
    std::vector<double> g(in.size());
    for (size_t i = 0; i < in.size(); ++i) g[i] = Db(out[i] / in[i]);
    return g;
}

double SteadyGainDb(const MonoStage& stage, double levelDb) {
    const std::vector<float> in = SquareSteps({{48000, levelDb}});
    return GainDb(in, RunStage(stage, in)).back();
}

// Detector level implied by a gain on the ratio part of a static curve.
double DetectorFromGain(double gainDb, double thresholdDb, double ratio, double makeupDb = 0.0) {
    return FromDb(thresholdDb - (gainDb - makeupDb) / (1.0 - 1.0 / ratio));
}

// Seconds after sample `step` until v has covered 1 - 1/e of its way.
double TimeConstant(const std::vector<double>& v, size_t step) {
    const double from = v[step - 1], to = v.back();
    for (size_t i = step; i < v.size(); ++i) {
        if ((v[i] - from) / (to - from) >= 1.0 - std::exp(-1.0)) return (i - step + 1) / kTestRate;
    }
    return INFINITY;
}

// Attack and release of a ratio stage from steps between two levels that
// both lie on the ratio part of its curve.
std::pair<double, double> StepTimes(const MonoStage& stage, double lowDb, double highDb, double thresholdDb,
                                    double ratio, double makeupDb = 0.0) {
    const std::vector<float> in = SquareSteps({{48000, lowDb}, {48000, highDb}, {96000, lowDb}});
    const std::vector<double> g = GainDb(in, RunStage(stage, in));
    std::vector<double> env(g.size());
    for (size_t i = 0; i < g.size(); ++i) env[i] = DetectorFromGain(g[i], thresholdDb, ratio, makeupDb);
    const std::vector<double> up(env.begin(), env.begin() + 96000), down(env.begin() + 48000, env.end());
    return {TimeConstant(up, 48000), TimeConstant(down, 48000)};
}

TEST_F(ToneDynamics, PreLevelerIsFourToOneAboveMinusTenAndStopsAtFourAndAHalfDb) {
    PreLeveler p;
    const MonoStage stage = [&](float s) { return ProcessPreLeveler(p, s); };
    for (const double level : {-40.0, -20.0, -12.0, -10.5, -9.0, -7.0, -5.0, -4.2, -3.0, 0.0, 6.0}) {
        SCOPED_TRACE(testing::Message() << "level " << level << " dB");
        InitPreLeveler(p);
        const double expected = level <= -10.0 ? 0.0 : std::fmax(-4.5, -0.75 * (level + 10.0));
        EXPECT_NEAR(SteadyGainDb(stage, level), expected, 0.01);
    }
    InitPreLeveler(p);
    EXPECT_NEAR(MeasureGainDb(stage, 1000.0, 1.0f), -4.5, 0.01);  // full scale: the limit, not 7.5 dB

    InitPreLeveler(p);
    const auto [attack, release] = StepTimes(stage, -9.0, -5.0, -10.0, 4.0);
    EXPECT_NEAR(attack, 0.0025, 0.0025 * 0.05);
    EXPECT_NEAR(release, 0.07, 0.07 * 0.05);
}

TEST_F(ToneDynamics, BalanceCurveFollowsTheAmount) {
    BalanceCompressor c;
    BalanceSettings settings{};
    const MonoStage stage = [&](float s) { return ProcessBalanceCompressor(c, settings, s); };
    for (const float amount : {0.011f, 0.5f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << "amount " << amount);
        SetVocalBalance(amount);
        settings = {engine.balanceAmount, engine.balanceThresholdDb, engine.balanceRatio, engine.balanceMakeup};
        const double t = -6.0 - 24.0 * amount, r = 2.0 + 3.5 * amount, m = 7.5 * amount;
        // The last point is far over threshold: the reduction has no limit.
        for (const double level : {t - 12.0, t - 3.0, t + 3.0, t + 12.0, 6.0}) {
            SCOPED_TRACE(testing::Message() << "level " << level << " dB");
            InitBalanceCompressor(c);
            const double expected = m - (level > t ? (1.0 - 1.0 / r) * (level - t) : 0.0);
            EXPECT_NEAR(SteadyGainDb(stage, level), expected, 0.01);
        }
        InitBalanceCompressor(c);
        const auto [attack, release] = StepTimes(stage, t + 2.0, t + 10.0, t, r, m);
        EXPECT_NEAR(attack, 0.006, 0.006 * 0.05);
        EXPECT_NEAR(release, 0.14, 0.14 * 0.05);
    }
}

TEST_F(ToneDynamics, BalanceAtItsGateIsBypassedWithoutTouchingItsDetector) {
    BalanceCompressor c;
    InitBalanceCompressor(c);
    SetVocalBalance(0.01f);
    const BalanceSettings settings{engine.balanceAmount, engine.balanceThresholdDb, engine.balanceRatio,
                                   engine.balanceMakeup};
    const std::vector<float> in = Sine(4800, 440.0, 0.9f);
    EXPECT_EQ(RunStage([&](float s) { return ProcessBalanceCompressor(c, settings, s); }, in), in);
    EXPECT_EQ(c.envelope, 0.0f);
}

// Gain of the opto's gain element at amount 1, recovered from the output by
// undoing its fixed colour: +6 dB makeup, drive 1.7, mix 0.95, trim 0.965.
double OptoElementDb(float in, float out) {
    const double d = 1.7, k = 0.95, x = std::fabs(in);
    const double t = (std::fabs(out) / 0.965 - (1.0 - k) * x) * std::tanh(d) / k;
    return Db(std::atanh(t) / (FromDb(6.0) * x * d));
}

TEST_F(ToneDynamics, OptoAtFullAmountLevelsAboveMinusTwentyTwoAndStopsAtTenDb) {
    OptoLeveler o;
    const MonoStage stage = [&](float s) { return ProcessOptoLeveler(o, 1.0f, s); };
    for (const double level : {-40.0, -25.0, -20.0, -15.0, -10.0, -8.5, -6.0, 0.0}) {
        SCOPED_TRACE(testing::Message() << "level " << level << " dB");
        InitOptoLeveler(o);
        const std::vector<float> in = SquareSteps({{48000, level}});
        const std::vector<float> out = RunStage(stage, in);
        const double expected = level <= -22.0 ? 0.0 : std::fmax(-10.0, -(1.0 - 1.0 / 3.5) * (level + 22.0));
        EXPECT_NEAR(OptoElementDb(in.back(), out.back()), expected, 0.02);
    }
    // Small signals see the makeup and the slope of the colour: about +10.6 dB.
    InitOptoLeveler(o);
    EXPECT_NEAR(SteadyGainDb(stage, -60.0), Db(0.965 * (0.95 * FromDb(6.0) * 1.7 / std::tanh(1.7) + 0.05)), 0.01);
}

TEST_F(ToneDynamics, OptoLetsGoSlowlyOnlyAfterHeavyReduction) {
    OptoLeveler o;
    const MonoStage stage = [&](float s) { return ProcessOptoLeveler(o, 1.0f, s); };
    auto elementDb = [&](double fromDb) {
        InitOptoLeveler(o);
        const std::vector<float> in = SquareSteps({{48000, fromDb}, {96000, -40.0}});
        const std::vector<float> out = RunStage(stage, in);
        std::vector<double> g(96000);
        for (size_t i = 0; i < g.size(); ++i) g[i] = OptoElementDb(in[48000 + i], out[48000 + i]);
        return g;
    };
    // From full scale the gain sits on its floor until the detector has
    // fallen to -8 dB; that wait gives the detector's release time.
    const std::vector<double> heavy = elementDb(0.0);
    size_t onFloor = 0;
    while (onFloor < heavy.size() && heavy[onFloor] < -9.99) ++onFloor;
    const double detectorRelease = onFloor / kTestRate / std::log((1.0 - 0.01) / (FromDb(-8.0) - 0.01));
    EXPECT_NEAR(detectorRelease, 0.85, 0.85 * 0.1);

    // From -19 dB (gain above 0.72) the detector drops under threshold within
    // 70 ms; after that the gain returns to unity with its own 180 ms.
    const std::vector<double> light = elementDb(-19.0);
    const size_t t1 = 12000, t2 = 21600;
    const double rise = (t2 - t1) / kTestRate / std::log((1.0 - FromDb(light[t1])) / (1.0 - FromDb(light[t2])));
    EXPECT_NEAR(rise, 0.18, 0.18 * 0.05);
    EXPECT_GT(light[t2], -0.3);
    EXPECT_LT(heavy[t2], -9.0);
}

TEST_F(ToneDynamics, DeEsserCutsSibilanceNotVowelsAndMoreWithTheAmount) {
    DeEsser d;
    float amount = 0.0f;
    const MonoStage stage = [&](float s) { return ProcessDeEsser(d, amount, s); };
    double previousCut = -1.0;
    for (const float a : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << "smooth " << a);
        amount = a;
        InitDeEsser(d);
        const double cut = -MeasureGainDb(stage, 7000.0);
        InitDeEsser(d);
        EXPECT_NEAR(MeasureGainDb(stage, 300.0), 0.0, 0.1);
        EXPECT_GT(cut, previousCut + (a > 0.0f ? 0.5 : 0.0));
        previousCut = cut;
    }
    EXPECT_GT(previousCut, 2.0);

    amount = 0.0f;
    const std::vector<float> loud = Sine(4800, 7000.0, 0.5f);
    EXPECT_EQ(RunStage(stage, loud), loud);
}

TEST_F(ToneDynamics, DeEsserLeavesSignalsUnderItsLevelGateAlone) {
    DeEsser d;
    InitDeEsser(d);
    const MonoStage stage = [&](float s) { return ProcessDeEsser(d, 1.0f, s); };
    const std::vector<float> quiet = Sine(48000, 7000.0, 0.0004f);
    EXPECT_EQ(RunStage(stage, quiet), quiet);
    // The same sibilant ten times louder is over the gate and is cut.
    InitDeEsser(d);
    EXPECT_LT(MeasureGainDb(stage, 7000.0, 0.004f), -2.0);
}

// Distortion of a 200 Hz sine at half scale: harmonics 2..10 against the
// fundamental, and the second harmonic alone.
std::pair<double, double> Distortion(const MonoStage& stage) {
    const std::vector<float> out = RunStage(stage, Sine(33600, 200.0, 0.5f));
    const double h1 = std::abs(ToneAt(out, 200.0, 24000, 33600));
    double sum = 0.0;
    for (int h = 2; h <= 10; ++h) sum += std::norm(ToneAt(out, 200.0 * h, 24000, 33600));
    return {std::sqrt(sum) / h1, std::abs(ToneAt(out, 400.0, 24000, 33600)) / h1};
}

TEST_F(ToneDynamics, WarmthAndBodyPlusDistortMoreWithTheAmountAndAreDryAtZero) {
    Warmth w;
    BodyPlus b;
    float amount = 0.0f;
    const MonoStage warmth = [&](float s) { return ProcessWarmth(w, amount, s); };
    const MonoStage bodyPlus = [&](float s) { return ProcessBodyPlus(b, amount, s); };
    const std::vector<float> voice = Sine(4800, 220.0, 0.7f);
    EXPECT_EQ(RunStage(warmth, voice), voice);
    EXPECT_EQ(RunStage(bodyPlus, voice), voice);

    double warmthThd = 0.0, bodyThd = 0.0;
    for (const float a : {0.25f, 0.5f, 0.75f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << "amount " << a);
        amount = a;
        InitWarmth(w);
        InitBodyPlus(b);
        const double wThd = Distortion(warmth).first;
        const auto [bThd, bSecond] = Distortion(bodyPlus);
        EXPECT_GT(wThd, warmthThd * 1.2);
        EXPECT_GT(bThd, bodyThd * 1.2);
        EXPECT_LT(bSecond, 1e-4);  // Body+ saturates symmetrically
        warmthThd = wThd;
        bodyThd = bThd;
    }
    EXPECT_GT(warmthThd, 0.1);
    EXPECT_GT(bodyThd, 0.05);
}

TEST_F(ToneDynamics, WarmthFlushesResidueToExactZero) {
    Warmth w;
    InitWarmth(w);
    const MonoStage stage = [&](float s) { return ProcessWarmth(w, 0.5f, s); };
    for (const float y : RunStage(stage, Sine(4800, 1000.0, 5e-9f))) ASSERT_EQ(y, 0.0f);
    size_t nonZero = 0;
    for (const float y : RunStage(stage, Sine(4800, 1000.0, 1e-6f))) nonZero += y != 0.0f;
    EXPECT_GT(nonZero, 4000u);
}

TEST_F(ToneDynamics, NeutralChainIsThePreLevelerAlone) {
    NeutralVocalChain();
    // A loud phrase, a quiet one, then loud again, so the leveler works.
    std::vector<float> in = Sine(72000, 220.0, 0.9f);
    const std::vector<float> upper = Sine(72000, 3100.0, 0.3f);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (in[i] + upper[i]) * (i / 24000 % 3 == 1 ? 0.05f : 1.0f);

    PreLeveler reference;
    InitPreLeveler(reference);
    const std::vector<float> expected = RunStage([&](float s) { return ProcessPreLeveler(reference, s); }, in);
    const std::vector<float> out = RunStage(ProcessToneChain, in);
    double deepest = 0.0, worst = 0.0;
    size_t worstAt = 0, differing = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        const double deviation = std::fabs(out[i] - expected[i]);
        differing += deviation > 0.0;
        if (deviation > worst) worst = deviation, worstAt = i;
        if (std::fabs(in[i]) > 0.5f) deepest = std::fmin(deepest, Db(expected[i] / in[i]));
    }
    EXPECT_EQ(differing, 0u) << "largest deviation " << worst << " at sample " << worstAt;
    EXPECT_LT(deepest, -4.0);
}
}  // namespace
