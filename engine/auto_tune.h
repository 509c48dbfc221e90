#pragma once
// "AUTO-TUNE CORE": detects the sung pitch every fourth block and glides the
// voice towards the nearest allowed semitone in one of three styles. The
// detection runs even with the switch off, because the harmony follows the
// published note.

#include <cstdint>

#include "engine/pitch_detector.h"
#include "engine/splice_shifter.h"

struct AutoTune {
    PitchHistory history;
    SpliceShifter shifter;
    int32_t blockCounter;
    float previousFrequency;  // for the octave guard; 0 when none
    float targetNote;         // -1 when none
    float targetRatio;
    float ratio;              // the glide towards targetRatio
    float period;             // sung period in samples
    int32_t hold;             // detections a lost pitch keeps its correction
};

void ClearAutoTune(AutoTune& t);
// The callback's high-passed microphone block in, the corrected voice out.
void ProcessAutoTune(const float* in, float* out, uint32_t nFrames);
