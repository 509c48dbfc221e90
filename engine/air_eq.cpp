#include "engine/air_eq.h"

#include <cmath>

void DesignAirEq(AirEq& air, float sampleRate, float airDb) {
    DesignPeaking(air.presence, sampleRate, 5800.0f, 0.75f, 0.55f * airDb);
    DesignHighShelf(air.shelf, sampleRate, 10500.0f, 0.85f * airDb);
}

void ClearAirEq(AirEq& air) {
    ClearBiquad(air.presence);
    ClearBiquad(air.shelf);
}

float ProcessAirEq(AirEq& air, float airDb, float s) {
    if (airDb <= 0.001f) return s;
    const float out = ProcessBiquad(air.shelf, ProcessBiquad(air.presence, s));
    if (std::isfinite(out)) return out;
    // Skipping the sample alone would leave the bad value in the filters
    // and skip the stage forever after.
    ClearAirEq(air);
    return s;
}
