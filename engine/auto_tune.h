#pragma once
// "AUTO-TUNE CORE": detects the sung pitch every fourth block (and at least
// every 512 samples) and glides the voice towards the nearest allowed
// semitone in one of three styles. The detection runs even with the switch
// off, because the harmony follows the published note.

#include <cstdint>

#include "engine/pitch_detector.h"
#include "engine/splice_shifter.h"

// The shifter reads up to 3200 samples behind the input, and each detection
// describes the voice some 600..900 samples before it was made: the history
// must reach that far back at the shortest detection interval (256 samples).
constexpr int32_t kTuneDetections = 32;

// What the detector heard, stamped with the input sample its window centres on.
struct TuneDetection {
    int64_t time;
    float note;  // -1: the voice was let go
};

struct AutoTune {
    PitchHistory history;
    SpliceShifter shifter;
    TuneDetection detections[kTuneDetections];
    int32_t newest;  // index of the newest detection; count of them below
    int32_t count;
    int64_t clock;  // input samples taken so far
    int32_t blockCounter;
    uint32_t sinceDetection;  // samples taken since the last detection
    float previousFrequency;  // for the octave guard; 0 when none
    float targetNote;         // -1 when none
    float targetRatio;        // the last wanted for the audio being read
    float period;             // sung period in samples
    float heardBehind;        // how far behind its detection the last voiced reading lay
    int32_t hold;             // detections a lost pitch keeps its correction
};

void ClearAutoTune(AutoTune& t);
// The callback's high-passed microphone block in, the corrected voice out.
void ProcessAutoTune(const float* in, float* out, uint32_t nFrames);
// The note sung at input sample `time`, from the detections around it; -1
// when the voice was let go there or nothing has been heard.
float NoteAt(const AutoTune& t, double time);
