#pragma once
// "MỊN / DE-ESS": subtracts part of the 5..10.5 kHz band when it is loud
// relative to the whole voice, so S, X and CH soften without dulling vowels.

struct DeEsser {
    float lowPass5k = 0.0f;
    float lowPass10k = 0.0f;
    float bandEnvelope = 0.0f;
    float levelEnvelope = 0.0f;
    float k5k = 0.0f;  // set by InitDeEsser
    float k10k = 0.0f;
    float attack = 0.0f;
    float release = 0.0f;
};

void InitDeEsser(DeEsser& d);
void ClearDeEsser(DeEsser& d);
float ProcessDeEsser(DeEsser& d, float amount, float s);
