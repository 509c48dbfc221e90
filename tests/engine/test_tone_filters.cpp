// The linear filters of the vocal path, measured with steady sines through
// the real processing code and held against the textbook bilinear designs
// evaluated in double precision on the unit circle.

#include <cmath>
#include <complex>
#include <vector>

#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "tests/support/engine_fixture.h"
#include "tools/synth/signals.h"

namespace {
class ToneFilters : public EngineTest {};

using Complex = std::complex<double>;

// Normalised numerator and denominator, a0 = 1.
struct Design {
    double b0, b1, b2, a1, a2;
};

Design Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

double Omega(double hz) { return 2.0 * M_PI * hz / kTestRate; }

Design HighPass(double hz, double q) {
    const double w = Omega(hz), c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    return Normalise((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Design Peaking(double hz, double q, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), w = Omega(hz), c = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    return Normalise(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

Design HighShelf(double hz, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0), w = Omega(hz), c = std::cos(w);
    const double k = 2.0 * std::sqrt(a) * std::sin(w) / 2.0 * std::sqrt(2.0);
    return Normalise(a * ((a + 1) + (a - 1) * c + k), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - k),
                     (a + 1) - (a - 1) * c + k, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - k);
}

// Response in dB of a cascade at hz.
double ExpectedDb(const std::vector<Design>& cascade, double hz) {
    const Complex z1 = std::polar(1.0, -Omega(hz)), z2 = z1 * z1;
    Complex h = 1.0;
    for (const Design& d : cascade) h *= (d.b0 + d.b1 * z1 + d.b2 * z2) / (1.0 + d.a1 * z1 + d.a2 * z2);
    return Db(std::abs(h));
}

// Multiples of 5 Hz, so 0.2 s holds whole periods and the measurement has
// no leakage; dense around every corner and centre of the vocal filters.
const std::vector<double> kSweep = {20,   35,   50,   75,   100,  130,  180,  250,  300,  370,  430,  600,   1000,
                                    2000, 3000, 4500, 5800, 7000, 8500, 9500, 10500, 12500, 15000, 18000, 20000};

void ExpectMatches(const MonoStage& stage, const std::vector<Design>& cascade, const std::function<void()>& reset) {
    for (const double hz : kSweep) {
        SCOPED_TRACE(testing::Message() << hz << " Hz");
        reset();
        EXPECT_NEAR(MeasureGainDb(stage, hz), ExpectedDb(cascade, hz), 0.1);
    }
}

TEST_F(ToneFilters, MicrophoneHighPassIsSecondOrderAtSeventyFiveHertz) {
    const MonoStage stage = [](float s) { return ProcessBiquad(engine.micHighPass, s); };
    ExpectMatches(stage, {HighPass(75.0, 0.7071)}, [] { ClearBiquad(engine.micHighPass); });
    EXPECT_NEAR(MeasureGainDb(stage, 75.0), -3.01, 0.05);
    EXPECT_LT(MeasureGainDb(stage, 20.0), -22.0);  // rumble and handling noise
}

std::vector<Design> BodyCascade(double a) {
    return {Peaking(180.0, 0.78, 4.4 * a), Peaking(370.0, 0.92, -2.7 * a), Peaking(3000.0, 0.82, 2.8 * a),
            Peaking(12500.0, 0.7, 0.8 * a)};
}

TEST_F(ToneFilters, BodyEqScalesItsFourBandsWithTheAmount) {
    const MonoStage stage = [](float s) { return ProcessBodyEq(engine.bodyEq, s); };
    for (const float a : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << "body " << a);
        SetVocalBody(a);
        ExpectMatches(stage, BodyCascade(a), [] { ClearBodyEq(engine.bodyEq); });
    }
    // At full body the chest lift leads and the mud dip sits beneath it.
    EXPECT_GT(ExpectedDb(BodyCascade(1.0), 180.0), 3.0);
    EXPECT_LT(ExpectedDb(BodyCascade(1.0), 430.0), ExpectedDb(BodyCascade(1.0), 1000.0));
}

TEST_F(ToneFilters, BodyEqAtZeroPassesTheVoiceBitForBit) {
    SetVocalBody(0.7f);
    SetVocalBody(0.0f);
    const std::vector<float> voice = Sine(4800, 180.0, 0.8f);
    EXPECT_EQ(RunStage([](float s) { return ProcessBodyEq(engine.bodyEq, s); }, voice), voice);
}

TEST_F(ToneFilters, RetuningTheBodyMidPhraseDoesNotClick) {
    // A retune keeps the filter states, so the waveform stays continuous.
    const std::vector<float> voice = Sine(9600, 180.0, 0.5f);
    std::vector<float> out(voice.size());
    {
        ScopedDenormalFlush flush;
        for (size_t i = 0; i < voice.size(); ++i) {
            if (i == 4801) SetVocalBody(1.0f);
            out[i] = ProcessBodyEq(engine.bodyEq, voice[i]);
        }
    }
    const double steepestSine = 0.5 * 2.0 * M_PI * 180.0 / kTestRate * std::pow(10.0, 4.4 / 20.0);
    double steepest = 0.0;
    for (size_t i = 4790; i < 4900; ++i) steepest = std::fmax(steepest, std::fabs(out[i] - out[i - 1]));
    EXPECT_LT(steepest, 1.5 * steepestSine);
}

TEST_F(ToneFilters, BodyPlusCurveIsItsFiveFixedBands) {
    const MonoStage stage = [](float s) {
        for (Biquad& f : engine.bodyPlus.filters) s = ProcessBiquad(f, s);
        return s;
    };
    ExpectMatches(stage,
                  {Peaking(130.0, 0.72, 5.0), Peaking(250.0, 0.9, 2.6), Peaking(430.0, 1.0, -3.0),
                   Peaking(4500.0, 0.85, 1.0), Peaking(9500.0, 0.7, 0.6)},
                  [] { ClearBodyPlus(engine.bodyPlus); });
}

TEST_F(ToneFilters, AirLiftsPresenceAndTopWithItsAmount) {
    const MonoStage stage = [](float s) { return ProcessAirEq(engine.air, engine.airDb, s); };
    for (const float db : {2.8f, 10.0f}) {
        SCOPED_TRACE(testing::Message() << "air " << db << " dB");
        SetVocalAir(48000.0f, db);
        ExpectMatches(stage, {Peaking(5800.0, 0.75, 0.55 * db), HighShelf(10500.0, 0.85 * db)},
                      [] { ClearAirEq(engine.air); });
    }
    SetVocalAir(48000.0f, 0.0f);
    const std::vector<float> voice = Sine(4800, 9500.0, 0.8f);
    EXPECT_EQ(RunStage(stage, voice), voice);
}
}  // namespace
