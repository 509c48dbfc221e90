#pragma once
// The diatonic thirds below and above a sung note in a major or natural
// minor key.

#include <cstdint>

struct HarmonyIntervals {
    int32_t low;   // semitones, -5..-3
    int32_t high;  // semitones, +3..+5
};

// Scale degrees 0..6 in semitones from the root.
const int32_t* ScaleSteps(bool minor);

HarmonyIntervals IntervalsFor(float note, int32_t keyRoot, bool minor);
