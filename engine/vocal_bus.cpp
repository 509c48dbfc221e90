#include "engine/vocal_bus.h"

VocalVoices ProcessVocalVoices(float s) {
    VocalVoices v;
    // The tone chain shapes s here; the harmony voices and the reverb and
    // echo returns join it once those processors are in the path.
    v.dry = s;
    return v;
}

StereoSample MixVocal(const VocalVoices& v, float gain) {
    return {(1.1f * v.dry + v.harmonyLow + v.reverb.left + v.echo.left) * gain,
            (1.1f * v.dry + v.harmonyHigh + v.reverb.right + v.echo.right) * gain};
}
