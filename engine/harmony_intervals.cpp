#include "engine/harmony_intervals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int32_t kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int32_t kMinor[7] = {0, 2, 3, 5, 7, 8, 10};

// The degree nearest to a pitch class; a note between two degrees (out of
// the key) is harmonised as the lower one.
int32_t NearestDegree(int32_t pitchClass, const int32_t* steps) {
    int32_t best = 0;
    int32_t bestDistance = 12;
    for (int32_t d = 0; d < 7; ++d) {
        const int32_t gap = std::abs(pitchClass - steps[d]);
        const int32_t distance = std::min(gap, 12 - gap);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = d;
        }
    }
    return best;
}
}  // namespace

const int32_t* ScaleSteps(bool minor) { return minor ? kMinor : kMajor; }

HarmonyIntervals IntervalsFor(float note, int32_t keyRoot, bool minor) {
    const int32_t* s = ScaleSteps(minor);
    const int32_t pitchClass = ((static_cast<int32_t>(std::lround(note)) - keyRoot) % 12 + 12) % 12;
    const int32_t d = NearestDegree(pitchClass, s);
    const int32_t low = d >= 2 ? s[d - 2] - s[d] : s[d + 5] - s[d] - 12;
    const int32_t high = d + 2 <= 6 ? s[d + 2] - s[d] : s[d - 5] + 12 - s[d];
    return {std::clamp(low, -5, -3), std::clamp(high, 3, 5)};
}
