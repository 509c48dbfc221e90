#pragma once
// "OPTO 2A / MƯỢT": a slow, program-dependent leveler with a soft tanh
// colour. After heavy reduction (gain below 0.72) the detector lets go
// slowly, like an optical cell.

struct OptoLeveler {
    float envelope = 0.0f;
    float gain = 1.0f;
    float attack = 0.0f;  // set by InitOptoLeveler
    float slowRelease = 0.0f;
    float fastRelease = 0.0f;
    float gainFall = 0.0f;
    float gainRise = 0.0f;
};

void InitOptoLeveler(OptoLeveler& o);
void ClearOptoLeveler(OptoLeveler& o);
float ProcessOptoLeveler(OptoLeveler& o, float amount, float s);
