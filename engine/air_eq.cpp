#include "engine/air_eq.h"

#include <cmath>

void DesignAirEq(AirEq& air, float sampleRate, float airDb) {
    const float presenceDb = 0.55f * airDb;
    const float shelfDb = 0.85f * airDb;
    if (std::fabs(presenceDb) < 0.001f) {
        DesignFlat(air.presence);
    } else {
        DesignPeaking(air.presence, sampleRate, 5800.0f, 0.75f, presenceDb);
    }
    if (std::fabs(shelfDb) < 0.001f) {
        DesignFlat(air.shelf);
    } else {
        DesignHighShelf(air.shelf, sampleRate, 10500.0f, shelfDb);
    }
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
