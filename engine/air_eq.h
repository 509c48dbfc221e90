#pragma once
// "LÀM SÁNG": a broad lift at 5.8 kHz and a shelf above 10.5 kHz, both from
// one dB amount.

#include "engine/biquad.h"

struct AirEq {
    Biquad presence;
    Biquad shelf;
};

// Retunes both filters for airDb; the running states are kept.
void DesignAirEq(AirEq& air, float sampleRate, float airDb);
void ClearAirEq(AirEq& air);
float ProcessAirEq(AirEq& air, float airDb, float s);
