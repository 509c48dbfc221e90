// The auto-tune measured from outside: the detector against the pitch each
// voice was synthesised with, the correction and its glide from the output
// pitch and phase, the splices from the output waveform, and what silence,
// bad samples and odd block sizes leave behind.

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/auto_tune.h"
#include "engine/denormals.h"
#include "engine/splice_shifter.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"
#include "tools/synth/singing.h"

namespace {
class AutoTuneDetection : public EngineTest {};
class AutoTuneCorrection : public EngineTest {};
class AutoTuneShifter : public EngineTest {};
class AutoTuneUnvoiced : public EngineTest {};
class AutoTuneRobustness : public EngineTest {};

constexpr unsigned kBlock = 128;
const std::vector<double> kPitches = {123, 147, 175, 208, 247, 294, 349, 415, 494, 587, 659, 698};
const double kFlat = 56.7;  // 30 cents under A3

// Drives the stage as the callback does; `onBlock` sees the samples done so far.
std::vector<float> Tune(const std::vector<float>& in, unsigned block = kBlock,
                        const std::function<void(size_t)>& onBlock = nullptr) {
    ScopedDenormalFlush flush;
    std::vector<float> out(in.size());
    for (size_t at = 0; at < in.size(); at += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, in.size() - at));
        ProcessAutoTune(in.data() + at, out.data() + at, n);
        if (onBlock) onBlock(at + n);
    }
    return out;
}

bool DetectionRan() { return engine.autoTune.blockCounter == 0; }
double Note() { return engine.detectedNote.load(); }

double TrueHz(const Voice& v, double seconds) {
    return v.hz(seconds) * std::pow(2.0, v.vibratoCents / 1200.0 * std::sin(2.0 * M_PI * v.vibratoHz * seconds));
}

// The detector compares the oldest 80 of its 12 kHz samples with those a
// period later, so a detection ending at `end` describes the voice here.
double AnalysedSeconds(size_t end, double hz) { return (end - 1040.0 + 2.0 * (79.0 + 12000.0 / hz)) / kTestRate; }

struct Detections {
    std::vector<double> errors;  // cents, at every detection whose window lies in the voice
    int misses = 0;              // no note published there
    std::vector<float> in, out;
};

Detections Detect(const Voice& v, unsigned frames, bool tuneOn = true) {
    InitEngine();
    if (!tuneOn) ToggleTune();
    Detections d;
    d.in = Sing(v, frames);
    d.out = Tune(d.in, kBlock, [&](size_t end) {
        if (!DetectionRan() || end < 1040) return;
        if (Note() < 0.0) {
            ++d.misses;
            return;
        }
        d.errors.push_back(100.0 * (Note() - NoteOfHz(TrueHz(v, AnalysedSeconds(end, v.hz(end / kTestRate))))));
    });
    return d;
}

double MaxAbs(const std::vector<double>& v) {
    double m = 0.0;
    for (const double x : v) m = std::max(m, std::fabs(x));
    return m;
}

Voice Varied(double hz, double vibratoCents, double breath = 0.0, double fundamental = 1.0, double attack = 0.02) {
    Voice v = SteadyVoice(hz);
    v.vibratoHz = 5.5, v.vibratoCents = vibratoCents, v.breath = breath;
    v.fundamentalGain = fundamental, v.attackSeconds = attack;
    return v;
}

// How far the output pitch sits above the input's, in cents: the median over
// 4096-sample windows from `from` on, so the few holding a splice cannot move it.
double ShiftCents(const std::vector<float>& in, const std::vector<float>& out, size_t from, double hz) {
    std::vector<double> c;
    for (size_t at = from; at + 4096 <= out.size(); at += 4096) {
        c.push_back(CentsBetween(MeasurePitchHz(out, at, at + 4096, hz), MeasurePitchHz(in, at, at + 4096, hz)));
    }
    std::nth_element(c.begin(), c.begin() + static_cast<long>(c.size() / 2), c.end());
    return c[c.size() / 2];
}

// With vibrato the truth is the instantaneous pitch where the detector
// looks; a weak fundamental invites a lock on the octave above.
void ExpectWithinTenCents(const std::vector<double>& pitches) {
    std::vector<double> all;
    for (const double hz : pitches) {
        for (const auto& [vibrato, fundamental] : {std::pair{0.0, 1.0}, {30.0, 1.0}, {30.0, 0.1}, {0.0, 0.2}}) {
            const Detections d = Detect(Varied(hz, vibrato, 0.0, fundamental), 24000);
            EXPECT_EQ(d.misses, 0) << hz << " Hz";
            EXPECT_LT(MaxAbs(d.errors), 10.0) << hz << " Hz, vibrato " << vibrato << ", fundamental " << fundamental;
            all.insert(all.end(), d.errors.begin(), d.errors.end());
        }
    }
    double sum = 0.0;
    for (const double e : all) sum += std::fabs(e);
    ::testing::Test::RecordProperty("detectionCents", "max " + std::to_string(MaxAbs(all)) + ", mean " +
                                                          std::to_string(sum / static_cast<double>(all.size())));
}

TEST_F(AutoTuneDetection, SteadyVibratoAndWeakFundamentalVoicesWithinTenCents) { ExpectWithinTenCents(kPitches); }

// Steady voices at the ends of the range (a vibrato would leave it): below
// about 115 Hz formant harmonics dip before the period; at the top the lag
// is 16 samples.
TEST_F(AutoTuneDetection, LowVoicesOnAnOpenVowelAndTheTopOfTheRange) {
    std::vector<double> all;
    for (const double hz : {80.0, 85.0, 90.0, 100.0, 110.0, 710.0, 725.0, 740.0, 750.0}) {
        for (const double fundamental : {1.0, 0.2}) {
            const Detections d = Detect(Varied(hz, 0.0, 0.0, fundamental), 24000);
            EXPECT_EQ(d.misses, 0) << hz << " Hz";
            // At the top one 12 kHz lag spans a semitone: the parabola's bias shows.
            EXPECT_LT(MaxAbs(d.errors), hz > 700.0 ? 12.0 : 10.0) << hz << " Hz, fundamental " << fundamental;
            all.insert(all.end(), d.errors.begin(), d.errors.end());
        }
    }
    RecordProperty("edgeDetectionMaxCents", std::to_string(MaxAbs(all)));
}

// Steady, vibrato, breathy, weak-fundamental and slowly starting voices, and glides.
TEST_F(AutoTuneDetection, GrossErrorsAreRareAcrossTheSingingSet) {
    std::vector<std::pair<Voice, unsigned>> set;
    for (const double hz : kPitches) {
        for (const Voice& v : {Varied(hz, 0.0), Varied(hz, 30.0), Varied(hz, 25.0, 0.05), Varied(hz, 30.0, 0.0, 0.15),
                               Varied(hz, 20.0, 0.02, 1.0, 0.08)}) set.emplace_back(v, 24000);
    }
    for (const auto& [from, to] : {std::pair{125.0, 250.0}, {150.0, 300.0}, {400.0, 200.0}, {690.0, 345.0}}) {
        Voice glide = Varied(from, 20.0, 0.02);
        glide.hz = [from = from, to = to](double t) { return from * std::pow(to / from, std::min(t, 1.0)); };
        set.emplace_back(glide, 57600);
    }
    double gross = 0.0, total = 0.0;  // a missing note counts as a gross error
    for (const auto& [voice, frames] : set) {
        const Detections d = Detect(voice, frames);
        gross += d.misses + std::count_if(d.errors.begin(), d.errors.end(), [](double e) { return std::fabs(e) > 50; });
        total += d.misses + static_cast<double>(d.errors.size());
    }
    RecordProperty("grossErrorRate", std::to_string(gross / total) + " of " + std::to_string(total));
    EXPECT_LT(gross / total, 0.005);
}

TEST_F(AutoTuneCorrection, EachStylePullsAnOffNoteByItsAmount) {
    struct Case { int style; double offCents, expected; };
    for (const Case c : {Case{2, -30, 17.6}, {1, -30, 9.6}, {3, -30, 30.0}, {2, -40, 17.07}, {2, 30, -17.6},
                         {2, -49, 0.0}, {1, 50, 0.0}, {3, 45, -45.0}}) {
        InitEngine();
        SetTuneMode(c.style);
        const double hz = HzOfNote(57.0 + c.offCents / 100.0);
        const std::vector<float> in = Sing(SteadyVoice(hz), 3 * 48000);
        const double shift = ShiftCents(in, Tune(in), 24000, hz);
        EXPECT_NEAR(shift, c.expected, 2.0) << "style " << c.style << ", " << c.offCents << " cents";
        RecordProperty("style" + std::to_string(c.style) + (c.offCents < 0 ? "Flat" : "Sharp") +
                       std::to_string(static_cast<int>(std::fabs(c.offCents))), std::to_string(shift));
    }
}

// Delay of y behind the pure sine sin(w n) around sample c, modulo one
// period: y fitted by sin and cos over 512 samples.
double PhaseDelay(const std::vector<float>& y, double w, size_t c) {
    double ss = 0.0, sc = 0.0, cc = 0.0, ys = 0.0, yc = 0.0;
    for (size_t n = c - 256; n < c + 256; ++n) {
        const double s = std::sin(w * static_cast<double>(n)), k = std::cos(w * static_cast<double>(n));
        ss += s * s, sc += s * k, cc += k * k, ys += y[n] * s, yc += y[n] * k;
    }
    return std::atan2(ys * sc - yc * ss, ys * cc - yc * sc) / w;  // y ~ a sin + b cos = A sin(w (n - delay))
}

// The ratio glides as 1 + k(1 - e^(-t/tau)), so the delay falls by
// k(t - tau(1 - e^(-t/tau))): tau fitted to the delay read from the output
// phase after the first voiced detection.
TEST_F(AutoTuneCorrection, GlideTimeConstantFollowsTheStyle) {
    for (const auto& [style, tau] : {std::pair{1, 833.3}, {2, 400.0}, {3, 31.25}}) {
        InitEngine();
        SetTuneMode(style);
        const double hz = HzOfNote(kFlat), w = 2.0 * M_PI * hz / kTestRate, period = kTestRate / hz;
        size_t start = 0;  // 1024-frame blocks keep one target over the 4096 samples after it
        const std::vector<float> out = Tune(Sine(8192, hz, 0.3f), 1024, [&](size_t end) {
            if (start == 0 && Note() >= 0.0) start = end - 1024;
        });
        ASSERT_EQ(start, 3072u);
        double delay = kShifterNominalDelay;
        auto track = [&](size_t c) {
            const double d = PhaseDelay(out, w, c);
            return delay = d + period * std::round((delay - d) / period);
        };
        for (size_t c = 2048; c <= start - 256; c += 32) EXPECT_NEAR(track(c), kShifterNominalDelay, 0.02);
        std::vector<std::pair<double, double>> fall;
        for (size_t c = start + 256; c <= start + 3840; c += 32) fall.emplace_back(c - start, 1500.0 - track(c));
        double best = 0.0, bestResidual = INFINITY;
        for (double candidate = 5.0; candidate < 3000.0; candidate *= 1.002) {
            double gg = 0.0, gf = 0.0, ff = 0.0;
            for (const auto& [t, f] : fall) {
                const double g = t - candidate * (1.0 - std::exp(-t / candidate));
                gg += g * g, gf += g * f, ff += f * f;
            }
            if (ff - gf * gf / gg < bestResidual) bestResidual = ff - gf * gf / gg, best = candidate;
        }
        EXPECT_NEAR(best, tau, 0.05 * tau + 2.0) << "style " << style;
        RecordProperty("glideSamplesStyle" + std::to_string(style), std::to_string(best));
    }
}

double MaxStep(const std::vector<float>& x, size_t from) {
    double m = 0.0;
    for (size_t i = from; i < x.size(); ++i) m = std::max(m, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
    return m;
}

// A low voice with nothing above 800 Hz, 30 cents off in style 3: a splice
// every second or so. A click would show as a step larger than the voice
// makes and as energy in the second difference (a high-pass rising 12 dB an
// octave) where the splices are.
TEST_F(AutoTuneShifter, SplicesAreSmoothAndKeepTheLevel) {
    for (const double off : {-30.0, 30.0}) {
        InitEngine();
        SetTuneMode(3);
        Voice voice = Varied(HzOfNote(48.0 + off / 100.0), 15.0);
        voice.harmonics = 6;
        const std::vector<float> in = Sing(voice, 8 * 48000);
        std::vector<bool> nearSplice(in.size() + kBlock, false);
        float last = kShifterNominalDelay, lo = last, hi = last;
        int splices = 0;
        const std::vector<float> out = Tune(in, kBlock, [&](size_t end) {
            const float d = engine.autoTune.shifter.delay;
            lo = std::min(lo, d), hi = std::max(hi, d);
            splices += std::fabs(d - last) > 100.0f;
            if (engine.autoTune.shifter.splicing || std::fabs(d - last) > 100.0f) {
                std::fill(nearSplice.begin() + static_cast<long>(std::max<size_t>(end, 800) - 800),
                          nearSplice.begin() + static_cast<long>(end + kBlock), true);
            }
            last = d;
        });
        const size_t from = 24000;
        double at[2] = {0.0, 0.0}, count[2] = {0.0, 0.0};
        for (size_t i = from; i < out.size(); ++i) {
            const double d2 = static_cast<double>(out[i]) - 2.0 * out[i - 1] + out[i - 2];
            at[nearSplice[i]] += d2 * d2, count[nearSplice[i]] += 1.0;
        }
        const double residualDb = 10.0 * std::log10((at[1] / count[1]) / (at[0] / count[0]));
        const double levelDb = Db(RmsOf(out, from, out.size()) / RmsOf(in, from, in.size()));
        const double stepRatio = MaxStep(out, from) / MaxStep(in, from);
        EXPECT_GE(splices, 3);
        EXPECT_LT(stepRatio, 1.1);
        EXPECT_LT(residualDb, 1.5);
        EXPECT_NEAR(levelDb, 0.0, 1.0);
        EXPECT_GE(lo, kShifterMinDelay);
        EXPECT_LE(hi, kShifterMaxDelay);
        RecordProperty(off < 0 ? "splicesForward" : "splicesBackward",
                       std::to_string(splices) + " splices, step ratio " + std::to_string(stepRatio) + ", residual " +
                           std::to_string(residualDb) + " dB, level " + std::to_string(levelDb) + " dB, delay " +
                           std::to_string(lo) + ".." + std::to_string(hi));
    }
}

// A steady ratio 0.0003 off 1 moves the delay some 860 samples a minute;
// without splices it would leave its range and wrap the ring.
TEST_F(AutoTuneShifter, TenMinutesAtATinyRatioStayInRange) {
    Voice voice = SteadyVoice(200.0);
    voice.attackSeconds = 0.0;
    const std::vector<float> second = Sing(voice, 48000);  // whole periods: it loops seamlessly
    for (const float ratio : {1.0003f, 0.9997f}) {
        SpliceShifter s;
        ClearSpliceShifter(s);
        ScopedDenormalFlush flush;
        float lo = s.delay, hi = s.delay;
        bool finite = true;
        for (uint32_t i = 0; i < 600u * 48000u; ++i) {
            finite = std::isfinite(ProcessSpliceShifter(s, second[i % 48000], ratio, 240.0f, false)) && finite;
            lo = std::min({lo, s.delay, s.splicing ? s.spliceDelay : lo});
            hi = std::max({hi, s.delay, s.splicing ? s.spliceDelay : hi});
        }
        EXPECT_TRUE(finite);
        EXPECT_GE(lo, kShifterMinDelay) << ratio;
        EXPECT_LE(hi, kShifterMaxDelay) << ratio;
        RecordProperty(ratio > 1.0f ? "tenMinuteDelayUp" : "tenMinuteDelayDown",
                       std::to_string(lo) + ".." + std::to_string(hi));
    }
}

// 512-frame blocks put the detections 2048 samples apart: with the voice
// ending on one, every later window is wholly silent and the count is exact.
TEST_F(AutoTuneUnvoiced, HoldsTheCorrectionForSixteenDetectionsThenLetsGo) {
    SetTuneMode(2);
    std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), 24 * 2048);
    in.resize(2 * in.size(), 0.0f);
    struct Seen { double note; float target, delay; };
    std::vector<Seen> seen;  // from the last voiced detection on
    const AutoTune& t = engine.autoTune;
    Tune(in, 512, [&](size_t end) {
        if (DetectionRan() && end >= 24 * 2048) seen.push_back({Note(), t.targetRatio, t.shifter.delay});
    });
    ASSERT_EQ(seen.size(), 25u);
    EXPECT_NEAR(seen[0].note, kFlat, 0.1);
    EXPECT_NEAR(seen[0].target, std::exp2(17.6 / 1200.0), 0.001);
    for (size_t k = 1; k <= 16; ++k) {
        EXPECT_EQ(seen[k].note, seen[0].note) << k;
        EXPECT_EQ(seen[k].target, seen[0].target) << k;
    }
    EXPECT_EQ(seen[17].note, -1.0);
    EXPECT_EQ(seen[17].target, 1.0f);
    // Held, the delay keeps the pace of the last ratio instead of settling.
    const float step = seen[1].delay - seen[0].delay;
    EXPECT_NEAR(step, -2048.0f * (seen[0].target - 1.0f), 1.0f);
    for (size_t k = 2; k <= 16; ++k) EXPECT_NEAR(seen[k].delay - seen[k - 1].delay, step, 0.05f) << k;
    EXPECT_NEAR(seen.back().delay, kShifterNominalDelay, 0.5f);
}

TEST_F(AutoTuneUnvoiced, SwitchedOffPassesTheVoiceUntouchedAndStillFollowsIt) {
    Voice glide = Varied(150.0, 30.0, 0.02);
    glide.hz = [](double t) { return 150.0 * std::pow(2.0, std::min(t, 1.0)); };
    const Detections d = Detect(glide, 72000, false);
    EXPECT_FALSE(IsTuneEnabled());
    EXPECT_TRUE(d.out == d.in);
    EXPECT_EQ(d.misses, 0);
    EXPECT_LT(MaxAbs(d.errors), 10.0);
}

struct DelayRange {
    float lo = kShifterNominalDelay, hi = kShifterNominalDelay;
    void operator()(size_t) {
        lo = std::min(lo, engine.autoTune.shifter.delay), hi = std::max(hi, engine.autoTune.shifter.delay);
    }
};

// Crossfades and interpolation never leave the input's range, nor the delay its own.
void ExpectBounded(const std::vector<float>& in, const std::vector<float>& out, const DelayRange& range) {
    float peak = 0.0f;
    for (const float x : in) peak = std::max(peak, std::fabs(x));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [peak](float y) { return std::fabs(y) <= peak; }));
    EXPECT_GE(range.lo, kShifterMinDelay);
    EXPECT_LE(range.hi, kShifterMaxDelay);
}

// A voice 30 cents flat after whatever came before: found and fully corrected.
void ExpectRecovered(const std::vector<float>& in, const std::vector<float>& out, size_t voiceFrom) {
    EXPECT_NEAR(Note(), kFlat, 0.1);
    EXPECT_NEAR(ShiftCents(in, out, voiceFrom + 24000, HzOfNote(kFlat)), 30.0, 2.0);
}

TEST_F(AutoTuneRobustness, HarshInputLeavesNoStuckState) {
    SetTuneMode(3);
    Voice loud = Varied(220.0, 30.0, 0.05);
    loud.level = 0.95;
    std::vector<float> in = Sing(loud, 48000);
    const size_t silence = in.size(), square = silence + 24000, dc = square + 24000, voice = dc + 24000;
    in.resize(square, 0.0f);
    for (unsigned i = 0; i < 24000; ++i) in.push_back(i / 120 % 2 ? -1.0f : 1.0f);  // 200 Hz at full scale
    for (const float x : Sing(Varied(330.0, 0.0), 24000)) in.push_back(x + 0.4f);  // note 64.02
    for (const float x : Sing(SteadyVoice(HzOfNote(kFlat)), 3 * 48000)) in.push_back(x);
    DelayRange range;
    double dcError = 0.0;  // the offset must not hide the voice on it
    const std::vector<float> out = Tune(in, kBlock, [&](size_t end) {
        range(end);
        if (DetectionRan() && end > dc + 4096 && end < voice) dcError = std::max(dcError, std::fabs(Note() - 64.02));
    });
    ExpectBounded(in, out, range);
    const auto silent = out.begin() + static_cast<long>(silence);
    EXPECT_TRUE(std::all_of(silent + 3300, silent + 24000, [](float y) { return y == 0.0f; }));
    EXPECT_LT(dcError, 0.1);
    ExpectRecovered(in, out, voice);
}

TEST_F(AutoTuneRobustness, NonFiniteSamplesLeaveNoStuckState) {
    SetTuneMode(3);
    std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), 4 * 48000);
    in[30000] = NAN, in[40000] = INFINITY, in[40001] = -INFINITY;
    std::fill(in.begin() + 50000, in.begin() + 50064, NAN);
    const std::vector<float> out = Tune(in);
    size_t bad = 0, lastBad = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (!std::isfinite(out[i])) ++bad, lastBad = i;
    }
    RecordProperty("nonFiniteOutputs", std::to_string(bad) + ", the last at " + std::to_string(lastBad));
    EXPECT_LT(lastBad, 50064u + kShifterRingSize);  // only while a bad sample is in the ring
    EXPECT_TRUE(std::isfinite(engine.autoTune.ratio) && std::isfinite(engine.autoTune.shifter.delay));
    ExpectRecovered(in, out, 60000);
}

TEST_F(AutoTuneRobustness, EveryBlockSizeCorrectsAlike) {
    for (const unsigned block : {1u, 7u, 64u, 1024u}) {
        InitEngine();
        SetTuneMode(3);
        const std::vector<float> in = Sing(SteadyVoice(HzOfNote(kFlat)), 2 * 48000);
        DelayRange range;
        const std::vector<float> out = Tune(in, block, std::ref(range));
        ExpectBounded(in, out, range);
        ExpectRecovered(in, out, 0);
    }
}
}  // namespace
