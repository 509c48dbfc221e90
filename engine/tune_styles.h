#pragma once
// How far each auto-tune style pulls a sung note towards its target.

#include <cstdint>

// The allowed note nearest to `note` (the first found on ties).
float NearestAllowedNote(float note, const int32_t* scaleNotes, int32_t scaleRoot);

// The correction in semitones for a detected note. Styles 1 and 2 keep
// `targetNote` while the voice stays within 0.58 semitone of it (so vibrato
// does not flip targets) and leave a dead zone around it; style 3 snaps.
float CorrectionSemitones(int32_t mode, float note, float& targetNote, const int32_t* scaleNotes,
                          int32_t scaleRoot);
