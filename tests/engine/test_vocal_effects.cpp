// The vocal effects measured from what they return: the reverb's decay time,
// width and level, the echo's repeats across the sides, and the vocal bus
// when switched, fed bad samples, pushed to its corners or left silent.

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/echo.h"
#include "engine/master_bus.h"
#include "engine/reverb.h"
#include "engine/vocal_bus.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
class VocalEffects : public EngineTest {};

constexpr uint32_t kCombsLeft[8] = {1631, 1742, 1901, 2042, 2195, 2371, 2539, 2696};
constexpr uint32_t kCombsRight[8] = {1665, 1776, 1935, 2076, 2229, 2405, 2573, 2729};
constexpr unsigned kBin = 48;     // 1 ms energy bins
constexpr unsigned kBlock = 256;  // callback block

std::vector<float> Noise(unsigned frames, float level) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-level, level);
    std::vector<float> v(frames);
    for (float& x : v) x = u(rng);
    return v;
}

// Both returns of a stereo effect for a mono input, flushed as in the callback.
std::pair<std::vector<float>, std::vector<float>> RunStereo(const std::function<StereoSample(float)>& effect,
                                                            const std::vector<float>& in) {
    std::vector<float> right;
    std::vector<float> left = RunStage([&](float x) {
        const StereoSample y = effect(x);
        right.push_back(y.right);
        return y.left;
    }, in);
    return {left, right};
}

// Schroeder's backward integral of energy bins, its -5..-35 dB span fitted by
// least squares and extrapolated to 60 dB.
double T30Seconds(const std::vector<double>& bins) {
    std::vector<double> edc(bins.size());
    double tail = 0.0;
    for (size_t i = bins.size(); i-- > 0;) edc[i] = tail += bins[i];
    double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (size_t i = 0; i < edc.size(); ++i) {
        const double db = 10.0 * std::log10(edc[i] / edc[0]), t = i * kBin / kTestRate;
        if (db <= -5.0 && db >= -35.0) n += 1.0, sx += t, sy += db, sxx += t * t, sxy += t * db;
    }
    return -60.0 / ((n * sxy - sx * sy) / (n * sxx - sx * sx));
}

// The same bins for the combs in theory: at frequency w each pass through a
// comb of length L keeps 0.915 |D(w)| of the last, D the 0.11 damping one-pole
// with unit DC gain; passes come once per L samples, and the sound arrives
// with the spectrum the 135 Hz input cut leaves.
std::vector<double> CombBankBins(const uint32_t (&lengths)[8], size_t count) {
    const double k = 1.0 - std::exp(-2.0 * M_PI * 135.0 / kTestRate);
    std::vector<double> bins(count);
    for (int f = 0; f < 64; ++f) {
        const std::complex<double> z1 = std::polar(1.0, -M_PI * (f + 0.5) / 64.0);
        const double weight = std::norm(1.0 - 0.88 * k / (1.0 - (1.0 - k) * z1));
        const double loop = 0.915 * std::abs(0.89 / (1.0 - 0.11 * z1));
        for (const uint32_t length : lengths) {
            double energy = weight / length;
            const double step = std::pow(loop, 2.0 * kBin / length);
            for (double& b : bins) b += energy, energy *= step;
        }
    }
    return bins;
}

TEST_F(VocalEffects, ReverbRingsForTheTimeItsCombFeedbackSetsOnTwoIndependentSides) {
    auto r = std::make_unique<Reverb>();
    InitReverb(*r, 48000.0f);
    std::vector<float> burst = Noise(480, 0.5f);
    burst.resize(5 * 48000, 0.0f);
    const auto [left, right] = RunStereo([&](float x) { return ProcessReverb(*r, 1.0f, x); }, burst);
    // One comb alone rings for 3 L / (rate |log10 0.915|) at low frequencies,
    // 2.6 s to 4.4 s over the lengths; the damping shortens the top.
    auto check = [this](const std::vector<float>& y, const uint32_t (&lengths)[8], const char* property) {
        std::vector<double> bins(y.size() / kBin);
        for (size_t i = 0; i < y.size(); ++i) bins[i / kBin] += static_cast<double>(y[i]) * y[i];
        const double measured = T30Seconds(bins), expected = T30Seconds(CombBankBins(lengths, bins.size()));
        RecordProperty(property, std::to_string(measured));
        SCOPED_TRACE(testing::Message() << "measured " << measured << " s, combs in theory " << expected << " s");
        EXPECT_NEAR(measured, expected, 0.1 * expected);
    };
    check(left, kCombsLeft, "rt60_left_seconds");
    check(right, kCombsRight, "rt60_right_seconds");

    double lr = 0.0;
    for (size_t i = 0; i < left.size(); ++i) lr += left[i] * right[i];
    const double ll = RmsOf(left, 0, left.size()), rr = RmsOf(right, 0, right.size());
    RecordProperty("correlation", std::to_string(lr / left.size() / (ll * rr)));
    // Independent comb banks share only the 4% cross-feed: 2 * 0.04 / (1 + 0.04^2).
    EXPECT_NEAR(lr / left.size() / (ll * rr), 0.08, 0.05);
    EXPECT_LT(std::fabs(Db(ll / rr)), 1.0);
}

TEST_F(VocalEffects, ReverbAtLevelZeroIsSilentWhileItsTailBuilds) {
    auto muted = std::make_unique<Reverb>(), open = std::make_unique<Reverb>();
    InitReverb(*muted, 48000.0f);
    InitReverb(*open, 48000.0f);
    const std::vector<float> burst = Noise(4800, 0.5f);
    ScopedDenormalFlush flush;
    for (unsigned i = 0; i < 24000; ++i) {
        const float x = i < burst.size() ? burst[i] : 0.0f;
        const StereoSample m = ProcessReverb(*muted, 0.0f, x);
        ProcessReverb(*open, 1.0f, x);
        ASSERT_TRUE(m.left == 0.0f && m.right == 0.0f) << i;
    }
    // Raised mid-tail, the return is at once the tail of one always open.
    for (int i = 0; i < 480; ++i) {
        const StereoSample m = ProcessReverb(*muted, 1.0f, 0.0f), o = ProcessReverb(*open, 1.0f, 0.0f);
        ASSERT_TRUE(m.left == o.left && m.right == o.right && (i > 0 || m.left != 0.0f)) << i;
    }
}

TEST_F(VocalEffects, ReverbKeepsAnOffsetOutOfItsTail) {
    // An offset (the warmth's even harmonics make one) must not ring in the
    // combs, whose lowest resonance sits at DC.
    auto tailRms = [](const std::vector<float>& in) {
        auto r = std::make_unique<Reverb>();
        InitReverb(*r, 48000.0f);
        const auto [left, right] = RunStereo([&](float x) { return ProcessReverb(*r, 1.0f, x); }, in);
        return std::hypot(RmsOf(left, 4 * 48000, 5 * 48000), RmsOf(right, 4 * 48000, 5 * 48000));
    };
    const double offset = tailRms(std::vector<float>(5 * 48000, 0.5f));
    const double tone = tailRms(Sine(5 * 48000, 1000.0, 0.5f));
    RecordProperty("dc_below_tone_db", std::to_string(Db(offset / tone)));
    EXPECT_LT(Db(offset / tone), -40.0);
}

TEST_F(VocalEffects, EchoRepeatsAfter165And205MsThenCrossesSidesOnEveryPass) {
    auto e = std::make_unique<Echo>();
    InitEcho(*e, 48000.0f);
    std::vector<float> impulse(30000, 0.0f);
    impulse[0] = 1.0f;
    const auto [left, right] = RunStereo([&](float x) { return ProcessEcho(*e, 1.0f, x); }, impulse);
    // The smoothing moves 0.35 of the way per sample: a first repeat of
    // 0.35 * 0.65^m. Fed to the other line at 0.16 and smoothed again, it is
    // 0.35^2 * 0.16 * (m + 1) * 0.65^m, then 0.35^3 * 0.16^2 * (m + 1)(m + 2) / 2
    // * 0.65^m: peaks at m = 1 and m = 3, and a second repeat with
    // 0.35^2 * 0.16^2 * (1 + q) / (1 - q)^2 of the first one's energy, q = 0.65^2.
    const double q = 0.65 * 0.65, secondPeak = 0.35 * 0.35 * 0.16 * 1.3;
    const double thirdPeak = std::pow(0.35, 3) * 0.0256 * 10.0 * std::pow(0.65, 3);
    const double energyRatio = 0.35 * 0.35 * 0.0256 * (1.0 + q) / ((1.0 - q) * (1.0 - q));
    // 165 + 205 ms on both sides, then the third pass is back where it started.
    const std::vector<size_t> leftAt = {7920, 17760, 25680}, rightAt = {9840, 17760, 27600};
    for (const auto& [y, at] : {std::pair{&left, leftAt}, std::pair{&right, rightAt}}) {
        SCOPED_TRACE(y == &left ? "left" : "right");
        for (int m = 0; m < 40; ++m) EXPECT_NEAR((*y)[at[0] + m], 0.35 * std::pow(0.65, m), 1e-6) << m;
        EXPECT_NEAR((*y)[at[1] + 1], secondPeak, 1e-6);
        EXPECT_NEAR((*y)[at[2] + 3], thirdPeak, 1e-7);
        const double first = RmsOf(*y, at[0], at[0] + 400), second = RmsOf(*y, at[1], at[1] + 400);
        EXPECT_NEAR(second * second / (first * first), energyRatio, 1e-3 * energyRatio);
        // Nothing before or between, so no line feeds itself (330 or 410 ms);
        // the smoothing parks near 3e-38 once its steps fall under the flush.
        size_t stray = 0;
        for (size_t i = 0; i < y->size(); ++i) {
            const bool inRepeat = std::any_of(at.begin(), at.end(), [i](size_t s) { return i >= s && i < s + 400; });
            stray += !inRepeat && std::fabs((*y)[i]) > 1e-30f;
        }
        EXPECT_EQ(stray, 0u);
    }
}

using Amount = void (*)(float);
void SetAirAmount(float a) { SetVocalAir(48000.0f, 10.0f * a); }
constexpr Amount kAmounts[] = {SetVocalBalance, SetVocalBody,  SetVocalOpto,   SetVocalBodyPlus, SetVocalSmooth,
                               SetVocalWarmth,  SetAirAmount, SetReverbLevel, SetEchoLevel};

// The microphone on input 1 through the Studio callback; beforeBlock(b) may
// flip switches between blocks.
std::vector<float> Play(const std::vector<float>& mic, const std::function<void(size_t)>& beforeBlock = {}) {
    engine.inputChannels = 1;
    std::vector<float> out;
    for (size_t b = 0; b * kBlock < mic.size(); ++b) {
        if (beforeBlock) beforeBlock(b);
        const std::vector<float> block = RunBlock({mic.begin() + b * kBlock, mic.begin() + (b + 1) * kBlock}, kBlock);
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

double BlockRms(const std::vector<float>& out, size_t from, size_t to) {
    return RmsOf(out, 2 * kBlock * from, 2 * kBlock * to);
}

size_t Differing(const std::vector<float>& a, const std::vector<float>& b, size_t fromBlock, size_t toBlock) {
    size_t n = 0;
    for (size_t i = 2 * kBlock * fromBlock; i < 2 * kBlock * toBlock; ++i) n += !(a[i] == b[i]);
    return n;
}

bool NonFinite(float v) { return !std::isfinite(v); }
bool Subnormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

// Delay lines and filter states of the vocal path that pred flags.
size_t StatesWhere(bool (*pred)(float)) {
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
    std::vector<float> mic = Sine(80 * kBlock, 220.0, 0.3f);  // a phrase, then silence
    mic.resize(200 * kBlock, 0.0f);
    auto render = [&](const std::function<void(size_t)>& beforeBlock) {
        InitEngine();
        SetMasterGlue(0.0f);  // a stateless master, so runs compare sample for sample
        return Play(mic, beforeBlock);
    };
    auto on = [](size_t b) { return b < 40 || b >= 160; };
    const std::vector<float> reference = render({});
    const std::vector<float> switched = render([&](size_t b) { engine.fxEnabled = on(b); });
    const std::vector<float> levelsDown = render([&](size_t b) {
        SetReverbLevel(on(b) ? reverb : 0.0f);
        SetEchoLevel(on(b) ? echo : 0.0f);
    });
    EXPECT_EQ(Differing(switched, levelsDown, 40, 160), 0u);
    EXPECT_LT(BlockRms(switched, 100, 160), 1e-3 * BlockRms(reference, 100, 160));
    EXPECT_EQ(Differing(switched, reference, 160, 200), 0u);
    EXPECT_EQ(Differing(levelsDown, reference, 160, 200), 0u);
    EXPECT_GT(BlockRms(switched, 160, 161), 0.01);  // the tail is back at once
}

TEST_F(VocalEffects, BadSamplesAreSilencedAndNeverStickInTheTails) {
    // Every stage at full amount; a voice with one sample replaced by bad.
    auto play = [](float bad) {
        InitEngine();
        for (const Amount set : kAmounts) set(1.0f);
        std::vector<float> mic = Sine(60 * kBlock, 220.0, 0.1f);
        mic[20 * kBlock + 100] = bad;
        return Play(mic);
    };
    const std::vector<float> reference = play(0.0f);
    constexpr float kInf = std::numeric_limits<float>::infinity();
    // A huge finite sample is as corrupt: the high-pass would overflow on it.
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), kInf, -kInf, 3e38f, -1e20f, 9.0f}) {
        SCOPED_TRACE(testing::Message() << "bad sample " << bad);
        const std::vector<float> out = play(bad);
        EXPECT_EQ(engine.nonFiniteSamples, 1u);
        EXPECT_EQ(Differing(out, reference, 0, 60), 0u);  // one sample of silence, finite throughout
        EXPECT_GT(BlockRms(out, 21, 22), 0.05);
        EXPECT_EQ(StatesWhere(NonFinite), 0u);
    }

    // Without the balance stage nothing tames a huge sample before the body
    // EQ, whose next output overflows after the reverb and echo took it in.
    InitEngine();
    for (const Amount set : kAmounts) set(1.0f);
    SetVocalBalance(0.0f);
    std::vector<float> voice = Sine(48000, 220.0, 0.3f), dry;
    voice[24000] = 3e38f;
    const std::vector<float> out = RunStage([&](float s) {
        const VocalVoices v = ProcessVocalVoices(s);
        dry.push_back(v.dry);
        const StereoSample y = MixVocal(v, 1.0f);
        return NonFinite(y.left) || NonFinite(y.right) ? 1.0f : 0.0f;
    }, voice);
    EXPECT_EQ(engine.nonFiniteSamples, 1u);
    EXPECT_EQ(std::count(out.begin(), out.end(), 1.0f), 0);
    EXPECT_EQ(StatesWhere(NonFinite), 0u);
    // The path starts afresh: the voice is back within the block, as loud as before.
    EXPECT_NEAR(Db(RmsOf(dry, 24001, 24001 + kBlock) / RmsOf(dry, 24000 - kBlock, 24000)), 0.0, 3.0);
}

TEST_F(VocalEffects, EveryControlCornerIsSilentOnSilenceAndBoundedOnFullScaleNoise) {
    std::vector<float> in = Noise(21600, 1.0f);  // silence, a full-scale burst, silence
    std::fill(in.begin(), in.begin() + 2400, 0.0f);
    std::fill(in.begin() + 12000, in.end(), 0.0f);
    // Before the master: the air and body boosts lift full-scale noise to
    // about +15 dB at most and the reverb at level 1 returns about 9 dB over
    // its input, so the bus peaks near 9; a runaway state passes 16 (+24 dB).
    double worst = 0.0;
    const int count = static_cast<int>(std::size(kAmounts));
    for (int flipped = -1; flipped < count; ++flipped) {  // all alike, or one against the rest
        for (const float base : {0.0f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << "all at " << base << ", control " << flipped << " flipped");
            InitEngine();
            for (int i = 0; i < count; ++i) kAmounts[i](i == flipped ? 1.0f - base : base);
            const std::vector<float> peak = RunStage([](float s) {
                const StereoSample y = MixVocal(ProcessVocalVoices(s), 1.0f);
                const bool finite = std::isfinite(y.left) && std::isfinite(y.right);
                return finite ? std::fmax(std::fabs(y.left), std::fabs(y.right)) : INFINITY;
            }, in);
            EXPECT_EQ(*std::max_element(peak.begin(), peak.begin() + 2400), 0.0f);
            worst = std::fmax(worst, *std::max_element(peak.begin(), peak.end()));
            EXPECT_LT(*std::max_element(peak.begin(), peak.end()), 16.0f);
        }
    }
    RecordProperty("worst_corner_peak", std::to_string(worst));
}

TEST_F(VocalEffects, LongSilenceAfterABurstLeavesNoSubnormalState) {
    SetReverbLevel(1.0f);
    SetEchoLevel(1.0f);
    std::vector<float> mic = Noise(60 * kBlock, 1.0f);
    mic.resize(1940 * kBlock, 0.0f);  // then more than 10 s of silence
    const std::vector<float> out = Play(mic);
    EXPECT_EQ(std::count_if(out.begin(), out.end(), Subnormal), 0);
    EXPECT_EQ(StatesWhere(Subnormal), 0u);
}
}  // namespace
