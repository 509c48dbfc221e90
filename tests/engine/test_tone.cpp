// The vocal tone stages measured from their outputs: filters against the textbook
// bilinear designs, dynamics by steady levels and steps, saturation by amount.

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

#include "engine/tone_chain.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
class Tone : public EngineTest {};

double FromDb(double db) { return std::pow(10.0, db / 20.0); }
double Omega(double hz) { return 2.0 * M_PI * hz / kTestRate; }

struct Design { double b0, b1, b2, a0, a1, a2; };

Design Peaking(double hz, double q, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), c = std::cos(Omega(hz)), alpha = std::sin(Omega(hz)) / (2.0 * q);
    return {1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a};
}

Design HighShelf(double hz, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), c = std::cos(Omega(hz)), k = std::sqrt(2.0 * a) * std::sin(Omega(hz));
    return {a * ((a + 1) + (a - 1) * c + k), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - k),
            (a + 1) - (a - 1) * c + k, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - k};
}

// A cascade's response against the stage's, at multiples of 5 Hz dense around every corner.
void ExpectMatches(const MonoStage& stage, const std::vector<Design>& cascade, const std::function<void()>& reset) {
    for (const double hz : {20, 50, 100, 130, 180, 250, 370, 430, 1000, 3000, 4500, 5800, 9500, 10500, 12500, 18000}) {
        const std::complex<double> z1 = std::polar(1.0, -Omega(hz)), z2 = z1 * z1;
        std::complex<double> h = 1.0;
        for (const Design& d : cascade) h *= (d.b0 + d.b1 * z1 + d.b2 * z2) / (d.a0 + d.a1 * z1 + d.a2 * z2);
        reset();
        EXPECT_NEAR(MeasureGainDb(stage, hz), Db(std::abs(h)), 0.1) << hz << " Hz";
    }
}

TEST_F(Tone, EqualisersFollowTheirDesignsAndPassBitForBitAtZero) {
    const MonoStage body = [](float s) { return ProcessBodyEq(engine.bodyEq, s); };
    for (const float a : {0.5f, 1.0f}) {
        SetVocalBody(a);
        ExpectMatches(body, {Peaking(180.0, 0.78, 4.4 * a), Peaking(370.0, 0.92, -2.7 * a),
                             Peaking(3000.0, 0.82, 2.8 * a), Peaking(12500.0, 0.7, 0.8 * a)},
                      [] { ClearBodyEq(engine.bodyEq); });
    }
    ExpectMatches([](float s) {
        for (Biquad& f : engine.bodyPlus.filters) s = ProcessBiquad(f, s);
        return s;
    }, {Peaking(130.0, 0.72, 5.0), Peaking(250.0, 0.9, 2.6), Peaking(430.0, 1.0, -3.0),
                         Peaking(4500.0, 0.85, 1.0), Peaking(9500.0, 0.7, 0.6)}, [] { ClearBodyPlus(engine.bodyPlus); });
    const MonoStage air = [](float s) { return ProcessAirEq(engine.air, engine.airDb, s); };
    for (const float db : {2.8f, 10.0f}) {
        SetVocalAir(48000.0f, db);
        ExpectMatches(air, {Peaking(5800.0, 0.75, 0.55 * db), HighShelf(10500.0, 0.85 * db)},
                      [] { ClearAirEq(engine.air); });
    }
    SetVocalAir(48000.0f, 0.0f);
    SetVocalBody(0.0f);
    const std::vector<float> voice = Sine(4800, 9500.0, 0.8f);
    EXPECT_EQ(RunStage(air, voice), voice);
    EXPECT_EQ(RunStage(body, voice), voice);
}

// A 1 kHz square in level steps: |x| is constant within a step, so a peak detector settles exactly.
std::vector<float> SquareSteps(const std::vector<std::pair<unsigned, double>>& stepsDb) {
    std::vector<float> v;
    for (const auto& [frames, db] : stepsDb) {
        for (unsigned i = 0; i < frames; ++i) v.push_back(static_cast<float>((v.size() / 24 % 2 ? -1 : 1) * FromDb(db)));
    }
    return v;
}

double SteadyGainDb(const MonoStage& stage, double levelDb) {
    const std::vector<float> in = SquareSteps({{48000, levelDb}});
    return Db(RunStage(stage, in).back() / in.back());
}

// Attack and release (seconds to 1 - 1/e) of the detector implied by the gain, with
// both step levels on the ratio part of the curve.
std::pair<double, double> StepTimes(const MonoStage& stage, double lowDb, double highDb, double t, double r) {
    const std::vector<float> in = SquareSteps({{48000, lowDb}, {48000, highDb}, {96000, lowDb}});
    const std::vector<float> out = RunStage(stage, in);
    auto env = [&](size_t i) { return FromDb(t - Db(out[i] / in[i]) / (1.0 - 1.0 / r)); };
    auto time = [&](size_t step) {
        const double from = env(step - 1), to = env(step + 47999);
        size_t i = step;
        while ((env(i) - from) / (to - from) < 1.0 - std::exp(-1.0)) ++i;
        return (i - step + 1) / kTestRate;
    };
    return {time(48000), time(96000)};
}

TEST_F(Tone, PreLevelerIsFourToOneAboveMinusTenAndStopsAtFourAndAHalfDb) {
    PreLeveler p;
    const MonoStage stage = [&](float s) { return ProcessPreLeveler(p, s); };
    for (const double level : {-20.0, -10.5, -7.0, -5.0, -4.2, 0.0, 6.0}) {
        InitPreLeveler(p);
        EXPECT_NEAR(SteadyGainDb(stage, level), level <= -10.0 ? 0.0 : std::fmax(-4.5, -0.75 * (level + 10.0)), 0.01);
    }
    InitPreLeveler(p);
    const auto [attack, release] = StepTimes(stage, -9.0, -5.0, -10.0, 4.0);
    EXPECT_NEAR(attack, 0.0025, 0.0025 * 0.05);
    EXPECT_NEAR(release, 0.07, 0.07 * 0.05);
}

TEST_F(Tone, BalanceCurveFollowsTheAmountAndIsBypassedAtItsGate) {
    BalanceCompressor c;
    BalanceSettings settings{};
    const MonoStage stage = [&](float s) { return ProcessBalanceCompressor(c, settings, s); };
    for (const float amount : {0.01f, 0.011f, 1.0f}) {
        SetVocalBalance(amount);
        settings = {engine.balanceAmount, engine.balanceThresholdDb, engine.balanceRatio, engine.balanceMakeup};
        InitBalanceCompressor(c);
        if (amount == 0.01f) {  // at the gate: bypassed, the detector untouched
            EXPECT_EQ(SteadyGainDb(stage, 0.0), 0.0);
            EXPECT_EQ(c.envelope, 0.0f);
            continue;
        }
        const double t = -6.0 - 24.0 * amount, r = 2.0 + 3.5 * amount, m = 7.5 * amount;
        for (const double level : {t - 3.0, t + 3.0, 6.0}) {
            InitBalanceCompressor(c);
            EXPECT_NEAR(SteadyGainDb(stage, level), m - (level > t ? (1.0 - 1.0 / r) * (level - t) : 0.0), 0.01);
        }
    }
}

// The opto's gain element at amount 1, with its fixed colour undone: +6 dB, drive 1.7, mix 0.95, trim 0.965.
double OptoElementDb(float in, float out) {
    const double x = std::fabs(in), t = (std::fabs(out) / 0.965 - 0.05 * x) * std::tanh(1.7) / 0.95;
    return Db(std::atanh(t) / (FromDb(6.0) * x * 1.7));
}

TEST_F(Tone, OptoLevelsAboveMinusTwentyTwoStopsAtTenDbAndLetsGoSlowlyAfterHeavyReduction) {
    OptoLeveler o;
    const MonoStage stage = [&](float s) { return ProcessOptoLeveler(o, 1.0f, s); };
    for (const double level : {-25.0, -15.0, -8.5, 0.0}) {
        InitOptoLeveler(o);
        const std::vector<float> in = SquareSteps({{48000, level}});
        EXPECT_NEAR(OptoElementDb(in.back(), RunStage(stage, in).back()),
                    level <= -22.0 ? 0.0 : std::fmax(-10.0, -(1.0 - 1.0 / 3.5) * (level + 22.0)), 0.02) << level;
    }
    // From full scale the gain sits on its floor until the 0.85 s detector has fallen to -8 dB.
    InitOptoLeveler(o);
    const std::vector<float> in = SquareSteps({{48000, 0.0}, {96000, -40.0}});
    const std::vector<float> out = RunStage(stage, in);
    const auto wait = static_cast<size_t>(0.85 * std::log((1.0 - 0.01) / (FromDb(-8.0) - 0.01)) * kTestRate);
    EXPECT_LT(OptoElementDb(in[48000 + wait * 9 / 10], out[48000 + wait * 9 / 10]), -9.99);
    EXPECT_GT(OptoElementDb(in[48000 + wait * 11 / 10], out[48000 + wait * 11 / 10]), -9.99);
}

TEST_F(Tone, DeEsserCutsSibilanceAboveItsGateNotVowelsAndMoreWithTheAmount) {
    DeEsser d;
    float amount = 0.0f;
    const MonoStage stage = [&](float s) { return ProcessDeEsser(d, amount, s); };
    const std::vector<float> loud = Sine(4800, 7000.0, 0.5f), quiet = Sine(48000, 7000.0, 0.0004f);
    EXPECT_EQ(RunStage(stage, loud), loud);
    double previousCut = 0.0;
    for (const float a : {0.5f, 1.0f}) {
        amount = a;
        InitDeEsser(d);
        const double cut = -MeasureGainDb(stage, 7000.0);
        InitDeEsser(d);
        EXPECT_NEAR(MeasureGainDb(stage, 300.0), 0.0, 0.1);
        EXPECT_GT(cut, previousCut + 0.5);
        previousCut = cut;
    }
    InitDeEsser(d);
    EXPECT_EQ(RunStage(stage, quiet), quiet);
    InitDeEsser(d);
    EXPECT_LT(MeasureGainDb(stage, 7000.0, 0.004f), -2.0);  // ten times louder: over the gate
}

// Harmonics 2..10 of a 200 Hz half-scale sine against the fundamental, and the second alone.
std::pair<double, double> Distortion(const MonoStage& stage) {
    const std::vector<float> out = RunStage(stage, Sine(33600, 200.0, 0.5f));
    double sum = 0.0;
    for (int h = 2; h <= 10; ++h) sum += std::norm(ToneAt(out, 200.0 * h, 24000, 33600));
    const double h1 = std::abs(ToneAt(out, 200.0, 24000, 33600));
    return {std::sqrt(sum) / h1, std::abs(ToneAt(out, 400.0, 24000, 33600)) / h1};
}

TEST_F(Tone, WarmthAndBodyPlusDistortMoreWithTheAmountAreDryAtZero) {
    Warmth w;
    BodyPlus b;
    float amount = 0.0f;
    const MonoStage warmth = [&](float s) { return ProcessWarmth(w, amount, s); };
    const MonoStage bodyPlus = [&](float s) { return ProcessBodyPlus(b, amount, s); };
    const std::vector<float> voice = Sine(4800, 220.0, 0.7f);
    EXPECT_EQ(RunStage(warmth, voice), voice);
    EXPECT_EQ(RunStage(bodyPlus, voice), voice);
    double warmthThd = 0.0, bodyThd = 0.0;
    for (const float a : {0.25f, 0.5f, 1.0f}) {
        amount = a;
        InitWarmth(w);
        InitBodyPlus(b);
        const double wThd = Distortion(warmth).first;
        const auto [bThd, bSecond] = Distortion(bodyPlus);
        EXPECT_GT(wThd, warmthThd * 1.2);
        EXPECT_GT(bThd, bodyThd * 1.2);
        EXPECT_LT(bSecond, 1e-4);  // Body+ saturates symmetrically
        warmthThd = wThd, bodyThd = bThd;
    }
    EXPECT_GT(warmthThd, 0.1);
    EXPECT_GT(bodyThd, 0.05);
    amount = 0.5f;
    InitWarmth(w);
    for (const float y : RunStage(warmth, Sine(4800, 1000.0, 5e-9f))) ASSERT_EQ(y, 0.0f);  // residue flushed
}
}  // namespace
