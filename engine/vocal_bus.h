#pragma once
// One sample of the vocal after pitch correction becomes the parts of the
// vocal bus: the dry (toned) voice, the two harmony voices and the effect
// returns. MixVocal turns them into the stereo vocal bus.

#include "engine/stereo.h"

struct VocalVoices {
    float dry = 0.0f;
    float harmonyLow = 0.0f;   // left only
    float harmonyHigh = 0.0f;  // right only
    StereoSample reverb;
    StereoSample echo;
};

// Tone chain, harmony, reverb and echo for one sample, in that order. The
// effects run whatever fxEnabled says; it only mutes their returns.
VocalVoices ProcessVocalVoices(float s);

// Clears every vocal state after the pitch correction (tone chain,
// harmony voices, reverb, echo); keeps the settings and the learned key.
void ClearVocalPath();

// gain is vocalVolume / 100.
StereoSample MixVocal(const VocalVoices& v, float gain);
