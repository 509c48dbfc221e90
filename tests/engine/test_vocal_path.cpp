// The vocal path measured from its outputs: filters against the textbook bilinear designs,
// dynamics by steady levels, saturation by amount, reverb and echo by what they return.

#include <array>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "engine/echo.h"
#include "engine/master_bus.h"
#include "engine/reverb.h"
#include "engine/tone_chain.h"
#include "engine/vocal_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"
#include "tools/synth/singing.h"

namespace {
class VocalPath : public EngineTest {};

double FromDb(double db) { return std::pow(10.0, db / 20.0); }
double Omega(double hz) { return 2.0 * M_PI * hz / kTestRate; }

using Design = std::array<double, 6>;  // b0 b1 b2 a0 a1 a2

Design Peaking(double hz, double q, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), c = std::cos(Omega(hz)), alpha = std::sin(Omega(hz)) / (2.0 * q);
    return {1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a};
}

Design HighShelf(double hz, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), c = std::cos(Omega(hz)),
                 k = std::sqrt(2.0 * a) * std::sin(Omega(hz));
    return {a * ((a + 1) + (a - 1) * c + k), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - k),
            (a + 1) - (a - 1) * c + k,       2 * ((a - 1) - (a + 1) * c),      (a + 1) - (a - 1) * c - k};
}

// A cascade's response against the stage's, at frequencies dense around every corner.
void ExpectMatches(const MonoStage& stage, const std::vector<Design>& cascade) {
    for (const double hz : {20, 50, 100, 130, 180, 250, 370, 430, 1000, 3000, 4500, 5800, 9500, 10500, 12500, 18000}) {
        const std::complex<double> z1 = std::polar(1.0, -Omega(hz)), z2 = z1 * z1;
        std::complex<double> h = 1.0;
        for (const Design& d : cascade) h *= (d[0] + d[1] * z1 + d[2] * z2) / (d[3] + d[4] * z1 + d[5] * z2);
        EXPECT_NEAR(MeasureGainDb(stage, hz), Db(std::abs(h)), 0.1) << hz << " Hz";
    }
}

TEST_F(VocalPath, EqualisersFollowTheirDesigns) {
    const MonoStage body = [](float s) { return ProcessBodyEq(engine.bodyEq, s); };
    const MonoStage air = [](float s) { return ProcessAirEq(engine.air, engine.airDb, s); };
    for (const float a : {0.5f, 1.0f}) {
        SetVocalBody(a);
        ExpectMatches(body, {Peaking(180.0, 0.78, 4.4 * a), Peaking(370.0, 0.92, -2.7 * a),
                             Peaking(3000.0, 0.82, 2.8 * a), Peaking(12500.0, 0.7, 0.8 * a)});
        const float db = a == 1.0f ? 10.0f : 2.8f;
        SetVocalAir(48000.0f, db);
        ExpectMatches(air, {Peaking(5800.0, 0.75, 0.55 * db), HighShelf(10500.0, 0.85 * db)});
    }
}

// A 1 kHz square at a level: |x| is constant, so a peak detector settles exactly on it.
std::vector<float> Square(double db, unsigned frames = 48000) {
    std::vector<float> v(frames);
    for (unsigned i = 0; i < frames; ++i) v[i] = static_cast<float>((i / 24 % 2 ? -1 : 1) * FromDb(db));
    return v;
}

// The opto's gain element at amount 1, with its fixed colour undone: +6 dB, drive 1.7, mix 0.95, trim 0.965.
double OptoElementDb(float in, float out) {
    const double x = std::fabs(in), t = (std::fabs(out) / 0.965 - 0.05 * x) * std::tanh(1.7) / 0.95;
    return Db(std::atanh(t) / (FromDb(6.0) * x * 1.7));
}

// The balance at half its amount: threshold -18 dB, ratio 3.75, makeup 3.75 dB. Each is dry at 0
// (test_studio_callback).
TEST_F(VocalPath, DynamicsFollowTheirStaticCurves) {
    PreLeveler p;
    BalanceCompressor c;
    OptoLeveler o;
    SetVocalBalance(0.5f);
    const BalanceSettings balance{engine.balanceAmount, engine.balanceThresholdDb, engine.balanceRatio,
                                  engine.balanceMakeup};
    const MonoStage pre = [&](float s) { return ProcessPreLeveler(p, s); },
                    compressor = [&](float s) { return ProcessBalanceCompressor(c, balance, s); },
                    opto = [&](float s) { return ProcessOptoLeveler(o, 1.0f, s); };
    const std::tuple<const MonoStage*, double, double, double, double> cases[] = {
        {&pre, -10.0, 4.0, -4.5, 0.0}, {&compressor, -18.0, 3.75, -100.0, 3.75}, {&opto, -22.0, 3.5, -10.0, 0.0}};
    for (const auto& [stage, threshold, ratio, floorDb, makeupDb] : cases) {
        for (const double over : {-3.0, 3.0, 9.0, 16.0, 36.0}) {
            InitPreLeveler(p);
            InitBalanceCompressor(c);
            InitOptoLeveler(o);
            const std::vector<float> in = Square(threshold + over);
            const float out = RunStage(*stage, in).back();
            const double gain = stage == &opto ? OptoElementDb(in.back(), out) : Db(out / in.back());
            const double expected = over <= 0.0 ? 0.0 : std::fmax(floorDb, -(1.0 - 1.0 / ratio) * over);
            EXPECT_NEAR(gain, makeupDb + expected, 0.02) << threshold << " + " << over;
        }
    }
    InitOptoLeveler(o);  // at half its amount the threshold is -15 dB
    RunStage([&](float s) { return ProcessOptoLeveler(o, 0.5f, s); }, Square(-16.0));
    EXPECT_EQ(o.gain, 1.0f);
}

TEST_F(VocalPath, DeEsserCutsSibilanceAboveItsGateNotVowelsAndMoreWithTheAmount) {
    DeEsser d;
    float amount = 0.0f;
    const MonoStage stage = [&](float s) { return ProcessDeEsser(d, amount, s); };
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
    const std::vector<float> quiet = Sine(48000, 7000.0, 0.0004f);
    EXPECT_EQ(RunStage(stage, quiet), quiet);  // under its level gate
}

TEST_F(VocalPath, WarmthAndBodyPlusDistortMoreWithTheAmount) {
    Warmth w;
    BodyPlus b;
    float amount = 0.0f;
    const MonoStage stages[] = {[&](float s) { return ProcessWarmth(w, amount, s); },
                                [&](float s) { return ProcessBodyPlus(b, amount, s); }};
    const std::vector<float> tone = Sine(33600, 200.0, 0.5f);
    const double levelDb[2][3] = {{1.65, 3.56, 7.05}, {1.65, 3.24, 5.47}};  // of the fundamental, by amount
    for (int k = 0; k < 2; ++k) {
        double thd = 0.0;  // harmonics 2..10 of a 200 Hz half-scale sine against the fundamental
        for (int i = 0; i < 3; ++i) {
            amount = 0.25f * static_cast<float>(1 << i);
            InitWarmth(w);
            InitBodyPlus(b);
            const std::vector<float> out = RunStage(stages[k], tone);
            double sum = 0.0;
            for (int h = 2; h <= 10; ++h) sum += std::norm(ToneAt(out, 200.0 * h, 24000, 33600));
            const double h1 = std::abs(ToneAt(out, 200.0, 24000, 33600));
            EXPECT_NEAR(Db(h1 / std::abs(ToneAt(tone, 200.0, 24000, 33600))), levelDb[k][i], 0.05) << k << ", " << i;
            EXPECT_GT(std::sqrt(sum) / h1, thd * 1.2) << k << " at " << amount;
            thd = std::sqrt(sum) / h1;
            EXPECT_LT(k == 1 ? std::abs(ToneAt(out, 400.0, 24000, 33600)) / h1 : 0.0, 1e-4);  // Body+ is symmetric
        }
        EXPECT_GT(thd, k == 0 ? 0.1 : 0.0);
        const double highs = MeasureGainDb(stages[k], 12000.0);  // at full amount: passed, lifted a little
        EXPECT_NEAR(highs, k == 0 ? 1.45 : 0.38, 0.05) << k;
    }
}

// The left and right outputs of a stereo effect at level 1, denormals flushed as in the callback.
template <typename Fx>
std::array<std::vector<float>, 2> RunStereo(Fx& fx, StereoSample (*process)(Fx&, float, float),
                                            const std::vector<float>& in) {
    ScopedDenormalFlush flush;
    std::array<std::vector<float>, 2> out;
    for (const float x : in) {
        const StereoSample y = process(fx, 1.0f, x);
        out[0].push_back(y.left);
        out[1].push_back(y.right);
    }
    return out;
}

TEST_F(VocalPath, ReverbRingsOnTwoSidesOfTheirOwnAndKeepsAnOffsetOutOfItsTail) {
    auto r = std::make_unique<Reverb>();
    auto run = [&](const std::vector<float>& in) {
        InitReverb(*r, 48000.0f);
        return RunStereo(*r, ProcessReverb, in);
    };
    std::vector<float> impulse(5 * 48000, 0.0f);
    impulse[0] = 1.0f;
    const auto [left, right] = run(impulse);
    for (const std::vector<float>* y : {&left, &right}) {  // the 0.915 combs' slowest, lowest modes: 16.5 dB a second
        EXPECT_NEAR(Db(RmsOf(*y, 48000, 96000) / RmsOf(*y, 144000, 192000)) / 2.0, 16.5, 1.6);
    }
    EXPECT_LT(std::fabs(Db(RmsOf(left, 0, left.size()) / RmsOf(right, 0, right.size()))), 1.0);
    EXPECT_NE(left, right) << "two sides of their own";
    auto tailRms = [&](const std::vector<float>& in) {
        const auto [l, rt] = run(in);
        return std::hypot(RmsOf(l, 4 * 48000, 5 * 48000), RmsOf(rt, 4 * 48000, 5 * 48000));
    };
    EXPECT_LT(Db(tailRms(std::vector<float>(5 * 48000, 0.5f)) / tailRms(Sine(5 * 48000, 1000.0, 0.5f))), -40.0);
}

TEST_F(VocalPath, EchoRepeatsAfter165And205MsThenCrossesSides) {
    auto e = std::make_unique<Echo>();
    InitEcho(*e, 48000.0f);
    std::vector<float> impulse(30000, 0.0f);
    impulse[0] = 1.0f;
    const auto [left, right] = RunStereo(*e, ProcessEcho, impulse);
    // Smoothed by 0.35 a sample, then fed across at 0.16 and smoothed again: the next repeat peaks a sample on.
    for (const auto& [y, first] : {std::pair{&left, size_t{7920}}, {&right, size_t{9840}}}) {
        for (int m = 0; m < 40; ++m) EXPECT_NEAR((*y)[first + m], 0.35 * std::pow(0.65, m), 1e-6) << m;
        EXPECT_NEAR((*y)[17760 + 1], 0.35 * 0.35 * 0.16 * 1.3, 1e-6);
        EXPECT_LT(RmsOf(*y, 0, first) + RmsOf(*y, first + 400, 17760), 1e-30);  // nothing before or between
    }
}

size_t Differing(const std::vector<float>& a, const std::vector<float>& b, size_t fromBlock, size_t toBlock) {
    size_t n = 0;
    for (size_t i = 512 * fromBlock; i < 512 * toBlock; ++i) n += !(a[i] == b[i]);
    return n;
}

// Switched off, the returns are muted as at level 0 while the tails build; back on, they return at once.
TEST_F(VocalPath, FxSwitchMutesTheReturnsWhileTheTailsRunOn) {
    std::vector<float> mic = Sine(80 * 256, 220.0, 0.3f);  // a phrase, then silence
    mic.resize(200 * 256, 0.0f);
    auto render = [&](const std::function<void(size_t)>& beforeBlock) {
        InitEngine();
        SetMasterGlue(0.0f);  // a stateless master, so runs compare sample for sample
        return Play(mic, beforeBlock);
    };
    const std::vector<float> reference = render({});
    const std::vector<float> switched = render([](size_t b) { engine.fxEnabled = b < 40 || b >= 160; });
    const std::vector<float> dry = render([](size_t) {
        SetReverbLevel(0.0f);
        SetEchoLevel(0.0f);
    });
    EXPECT_EQ(Differing(switched, dry, 40, 160), 0u);
    EXPECT_EQ(Differing(switched, reference, 160, 200), 0u);
    EXPECT_GT(RmsOf(switched, 512 * 160, 512 * 161), 0.01);  // the tail is back at once
}

// After a clear, what the path held before (filters, envelopes, tails) is gone: a phrase renders as at a fresh start.
TEST_F(VocalPath, AClearedPathRendersAsAFreshOne) {
    for (const auto set : kAmounts) set(1.0f);
    const std::vector<float> phrase = Sing(SteadyVoice(220.0), 9600);
    const auto render = [&] {
        std::vector<float> out;
        for (const float s : phrase) {
            const VocalVoices v = ProcessVocalVoices(s);
            out.insert(out.end(), {v.dry, v.harmonyLow, v.harmonyHigh, v.reverb.left, v.reverb.right, v.echo.left});
        }
        return out;
    };
    const std::vector<float> fresh = render();
    EXPECT_NE(render(), fresh);  // the tails of the first run are still there
    ClearVocalPath();
    EXPECT_EQ(render(), fresh);
}

TEST_F(VocalPath, BadSamplesAreSilencedAndNeverStickInTheTails) {
    auto play = [](float bad) {  // every stage at full amount; one sample of the voice replaced, then 213 ms
        InitEngine();
        for (const auto set : kAmounts) set(1.0f);
        std::vector<float> mic = Sine(60 * 256, 220.0, 0.1f);
        mic[20 * 256 + 100] = bad;
        return Play(mic);
    };
    const std::vector<float> reference = play(0.0f);
    for (const float bad : {NAN, INFINITY, -INFINITY, 3e38f, -1e20f, 9.0f}) {  // huge finite samples too
        const std::vector<float> out = play(bad);
        EXPECT_EQ(engine.nonFiniteSamples, 1u) << bad;
        EXPECT_EQ(Differing(out, reference, 0, 60), 0u) << bad;  // past the echo's first repeat
    }
}
}  // namespace
