#include "engine/body_eq.h"

#include "engine/engine_params.h"

namespace {
struct Band {
    float frequency;
    float q;
    float gainDbAtFull;
};
constexpr Band kBands[4] = {{180.0f, 0.78f, 4.4f}, {370.0f, 0.92f, -2.7f}, {3000.0f, 0.82f, 2.8f}, {12500.0f, 0.7f, 0.8f}};
}  // namespace

void DesignBodyEq(BodyEq& eq, float amount) {
    for (int i = 0; i < 4; ++i) {
        DesignPeaking(eq.filters[i], EngineParams::sampleRate, kBands[i].frequency, kBands[i].q,
                      kBands[i].gainDbAtFull * amount);
    }
}

void ClearBodyEq(BodyEq& eq) {
    for (Biquad& f : eq.filters) ClearBiquad(f);
}

float ProcessBodyEq(BodyEq& eq, float s) {
    for (Biquad& f : eq.filters) s = ProcessBiquad(f, s);
    return s;
}
