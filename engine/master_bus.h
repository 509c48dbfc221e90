#pragma once
// The master bus every output frame passes: stereo-linked glue compressor,
// output gain, soft clipper and the hard ceiling.

#include "engine/stereo.h"

// The UI-written settings, read once per block.
struct MasterSettings {
    float amount;
    float threshold;
    float makeup;
    float outputGain;
};

void InitMasterGlue();
void SetMasterGlue(float amount);
void SetMasterOutputDb(float db);

MasterSettings LoadMasterSettings();
StereoSample ProcessMaster(const MasterSettings& settings, float left, float right);
