#pragma once
// Learns the key of the song from the notes being sung: a fading histogram
// of held pitch classes, scored against every major and minor key. A new
// key is adopted after it has won four updates in a row (at once while the
// histogram is young), so a passing chromatic note does not flip it.

#include <cstdint>

struct KeyDetector {
    float histogram[12];  // pitch classes, 0 = C
    int32_t tick;         // voiced samples since the last update
    int32_t count;        // updates so far, capped
    int32_t pendingRoot;
    bool pendingMinor;
    int32_t pendingRepeats;
};

// Called once per sample while a note is held.
void CountHeldNote(KeyDetector& k, float note);

// Clears the learned key; the pending candidate stays. The published key
// reads C major at once; the histogram, which the audio thread owns, is
// cleared by it before its next use (ApplyKeyDetectorReset).
void ResetKeyDetector();
void ApplyKeyDetectorReset(KeyDetector& k);
