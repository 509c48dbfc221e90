#pragma once
// The one process-wide block of engine state shared by the user interface,
// the device threads and the audio callback. Everything the callback touches
// is here, sized at compile time, so the real-time path never allocates.
//
// Thread rules: a value written on one thread and read on another is an
// atomic. Parameters use the default (on x86 a plain move for loads); ring
// indices are published with release after the samples are stored and read
// with acquire; counters are relaxed increments.

#include <atomic>
#include <cstdint>

#include "engine/air_eq.h"
#include "engine/auto_tune.h"
#include "engine/balance_compressor.h"
#include "engine/biquad.h"
#include "engine/body_eq.h"
#include "engine/body_plus.h"
#include "engine/de_esser.h"
#include "engine/echo.h"
#include "engine/harmony.h"
#include "engine/opto_leveler.h"
#include "engine/pre_leveler.h"
#include "engine/reverb.h"
#include "engine/warmth.h"

struct EngineParams {
    static constexpr int sampleRate = 48000;
    static constexpr uint32_t maxBlockFrames = 1024;
    static constexpr int64_t beatRingSize = 96000;  // one second of stereo, not a power of two
    static constexpr uint32_t bridgeRingSize = 16384;
    static constexpr uint32_t bridgeLatencyCut = 576;  // 12 ms of microphone backlog at most
    static constexpr uint64_t recordRingSize = 0x100000;
    static constexpr int32_t beatPrefillMin = 960;

    // User parameters, engine units.
    std::atomic<float> vocalVolume{100.0f};   // percent
    std::atomic<float> beatVolume{0.32f};     // linear
    std::atomic<float> harmonyVolume{24.0f};  // percent
    std::atomic<float> balanceAmount{0.55f};
    std::atomic<float> balanceThresholdDb{-19.2f};
    std::atomic<float> balanceRatio{3.925f};
    std::atomic<float> balanceMakeup{1.6080f};  // 10^0.20625
    std::atomic<float> bodyAmount{0.55f};
    std::atomic<float> optoAmount{0.0f};
    std::atomic<float> bodyPlusAmount{0.38f};
    std::atomic<float> smoothAmount{0.55f};
    std::atomic<float> warmthAmount{0.45f};
    std::atomic<float> airDb{0.0f};
    std::atomic<float> reverbLevel{0.18f};
    std::atomic<float> echoLevel{0.08f};

    // Switches and routing.
    std::atomic<int32_t> studioMode{0};      // 0 VOCAL + BEAT, 1 BEAT ONLY
    std::atomic<int32_t> micChannelMode{1};  // 0 input 1, 1 input 2, 2 both, else silence
    std::atomic<int32_t> inputChannels{0};
    std::atomic<bool> fxEnabled{true};
    std::atomic<bool> harmonyEnabled{false};
    std::atomic<bool> tuneEnabled{true};
    std::atomic<int32_t> tuneMode{1};
    std::atomic<float> retuneRate{0.0012f};
    std::atomic<int32_t> recordMode{0};  // 0 REC MIX, 1 REC VOCAL
    std::atomic<bool> recorderActive{false};
    std::atomic<bool> micBridgeEnabled{false};
    std::atomic<bool> micBridgeRunning{false};

    // Published analysis values.
    std::atomic<float> detectedNote{-1.0f};
    std::atomic<int32_t> harmonyKeyRoot{0};
    std::atomic<bool> harmonyKeyMinor{false};
    std::atomic<float> harmonyKeyConfidence{0.0f};
    std::atomic<bool> keyResetPending{false};  // the audio thread clears the key histogram

    // Master bus. glueEnv belongs to the audio thread alone.
    std::atomic<float> glueAmount{0.6f};
    std::atomic<float> glueThreshold{0.54f};
    std::atomic<float> glueMakeup{1.18f};
    std::atomic<float> masterOutputGain{1.0f};
    float glueEnv = 0.0f;
    float glueAttack = 0.0f;  // set by InitMasterGlue
    float glueRelease = 0.0f;
    static constexpr float glueRatio = 2.5f;
    static constexpr float masterCeiling = 0.912f;

    // Vocal path states, all owned by the audio thread once the stream runs.
    Biquad micHighPass;  // ahead of everything in the vocal path
    AutoTune autoTune;
    PreLeveler preLeveler;
    BalanceCompressor balance;
    BodyEq bodyEq;
    OptoLeveler opto;
    BodyPlus bodyPlus;
    DeEsser deEsser;
    Warmth warmth;
    AirEq air;
    Reverb reverb;
    Echo echo;
    Harmony harmony;

    // Meters: linear peaks with hold and decay per update.
    std::atomic<float> micPeak{0.0f};
    std::atomic<float> vocalPeak{0.0f};
    std::atomic<float> beatPeak{0.0f};
    std::atomic<float> cablePeak{0.0f};

    // Health counters.
    std::atomic<uint64_t> callbackBlocks{0};
    std::atomic<uint64_t> callbackStatusEvents{0};
    // The callback's own time: busy nanoseconds and frames ever, and the
    // longest block since the window last took it (it stores 0 back).
    std::atomic<uint64_t> callbackBusyNanos{0};
    std::atomic<uint64_t> callbackFrames{0};
    std::atomic<uint64_t> callbackWorstNanos{0};
    std::atomic<uint64_t> bridgeUnderruns{0};
    std::atomic<uint64_t> bridgeFramesConsumed{0};
    std::atomic<uint64_t> bridgeFramesCaptured{0};
    std::atomic<uint64_t> recordFramesPushed{0};
    std::atomic<uint64_t> recordFramesDropped{0};
    std::atomic<uint64_t> nonFiniteSamples{0};  // corrupt microphone or bus samples replaced with silence
    std::atomic<uint32_t> bridgeFillFrames{0};

    // Beat ring: the beat pump produces, the callback or the Mini render thread consumes.
    float beatRing[beatRingSize] = {};
    std::atomic<int64_t> beatRingWrite{0};
    std::atomic<int64_t> beatRingRead{0};
    std::atomic<bool> beatRingPriming{true};
    std::atomic<uint64_t> beatRingReprimes{0};  // times the gate shut again after it had opened
    std::atomic<int32_t> beatRingPrefill{beatPrefillMin};
    // The key shifter delivers in bursts; the gate also waits for one burst
    // and a pump interval so the ring does not run dry between them.
    std::atomic<int32_t> beatRingCushion{0};
    // What the reader takes at once when the gate opens (the Mini output fills
    // its device), on top of the target so the cushion is left whole.
    std::atomic<int32_t> beatRingReaderTake{0};
    // Samples the producer has begun to write, ever: lets a consumer that was
    // held up for a whole lap tell that its copy was overwritten meanwhile.
    std::atomic<int64_t> beatRingStarted{0};
    // Which reader may read the ring (a BeatReader, -1 while it is handed
    // over) and each reader's flag while inside a read; overlaps counts reads
    // that found the other reader inside, which the hand-over rules out.
    std::atomic<int32_t> beatRingHolder{0};
    std::atomic<bool> beatReaderBusy[2]{};
    std::atomic<int32_t> beatReadersInside{0};
    std::atomic<uint64_t> beatReaderOverlaps{0};
    // One slice of the callback: two samples per frame.
    float beatBlock[2 * maxBlockFrames] = {};

    // Bridge ring: mono microphone samples from the Direct Mic Bridge thread.
    float bridgeRing[bridgeRingSize] = {};
    std::atomic<uint32_t> bridgeWriteIndex{0};
    std::atomic<uint32_t> bridgeReadIndex{0};
    // A write position up to which the consumer discards, or -1: set when a
    // capture ends, carried out by the consumer itself.
    std::atomic<int64_t> bridgeFlushTo{-1};

    // Record ring: 16-bit stereo frames for the WAV writer; indices only grow.
    int16_t recordRing[recordRingSize] = {};
    std::atomic<uint64_t> recordWriteIndex{0};
    std::atomic<uint64_t> recordReadIndex{0};
};

extern EngineParams engine;

// Start-up: puts every field back to its value before configuration and
// computes the coefficients for 48000 Hz. UI thread, no stream running.
void InitEngine();
