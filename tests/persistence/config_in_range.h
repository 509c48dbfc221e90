#pragma once
// Every value of a loaded config within its range (false for a NaN).

#include "persistence/app_config.h"

inline bool ConfigInRange(const AppConfig& c) {
    const auto in = [](auto v, auto lo, auto hi) { return v >= lo && v <= hi; };
    for (float v : {c.vocalBalance, c.vocalBody, c.vocalSmooth, c.vocalWarmth, c.vocalBodyPlus, c.vocalOpto2a,
                    c.beatVolume, c.masterGlue}) {
        if (!in(v, 0.0f, 100.0f)) return false;
    }
    const int32_t a = c.asioBufferFrames;
    return (a == 64 || a == 128 || a == 256 || a == 512) && in(c.vocalVolume, 0.0f, 150.0f) &&
           in(c.vocalAir, 0.0f, 10.0f) && in(c.reverb, 0.0f, 50.0f) && in(c.echo, 0.0f, 40.0f) &&
           in(c.harmonyVolume, 8.0f, 45.0f) && in(c.masterOutputDb, -6.0f, 8.0f) && in(c.micChannel, 0, 2) &&
           in(c.wasapiMicChannel, 0, 2) && in(c.miniOutputMode, 0, 1) && in(c.recordMode, 0, 1) &&
           in(c.studioMode, 0, 1) && in(c.tuneMode, 1, 3) && in(c.vocalPreset, 0, 13) && in(c.setupVersion, 1, 99) &&
           !c.recordName.empty() && !c.recordFolder.empty();
}
