#pragma once
// Fixed pre-leveler at the head of the tone chain: a fast 4:1 above -10 dB,
// never more than 4.5 dB, so the user stages see a tamed peak level.

struct PreLeveler {
    float envelope = 0.0f;
    float attack = 0.0f;  // set by InitPreLeveler
    float release = 0.0f;
};

void InitPreLeveler(PreLeveler& p);
void ClearPreLeveler(PreLeveler& p);
float ProcessPreLeveler(PreLeveler& p, float s);
