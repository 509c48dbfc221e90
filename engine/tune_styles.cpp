#include "engine/tune_styles.h"

#include <cmath>

namespace {
struct Style {
    float deadCents;
    float factor;
};

Style StyleOf(int32_t mode) { return mode == 1 ? Style{14.0f, 0.6f} : Style{8.0f, 0.8f}; }

int32_t PitchClass(int32_t n) { return ((n % 12) + 12) % 12; }

// Beyond 36 cents the correction tapers to nothing at 48: a note sung that
// far off is more likely meant as the neighbour.
float SoftCorrectionCents(float cents, Style style) {
    const float a = std::fabs(cents);
    if (!(a > style.deadCents && a < 48.0f)) return 0.0f;
    const float taper = a > 36.0f ? (48.0f - a) / 12.0f : 1.0f;
    return std::copysign((a - style.deadCents) * style.factor * taper, cents);
}
}  // namespace

float NearestAllowedNote(float note, const int32_t* scaleNotes, int32_t scaleRoot) {
    const auto centre = static_cast<int32_t>(std::lround(note));
    float best = static_cast<float>(centre);
    float bestDistance = INFINITY;
    for (int32_t k = -6; k <= 6; ++k) {
        const int32_t n = centre + k;
        if (scaleNotes[PitchClass(PitchClass(n) - scaleRoot)] == 0) continue;
        const float distance = std::fabs(note - static_cast<float>(n));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<float>(n);
        }
    }
    return best;
}

float CorrectionSemitones(int32_t mode, float note, float& targetNote, const int32_t* scaleNotes,
                          int32_t scaleRoot) {
    if (mode == 3) return std::round(note) - note;
    if (targetNote < 0.0f || std::fabs(note - targetNote) > 0.58f) {
        targetNote = NearestAllowedNote(note, scaleNotes, scaleRoot);
    }
    return SoftCorrectionCents((targetNote - note) * 100.0f, StyleOf(mode)) / 100.0f;
}
