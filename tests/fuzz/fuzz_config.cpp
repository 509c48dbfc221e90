// Any bytes at all as a config file: every value that loads is within its
// range and finite, and what is saved loads back unchanged and unrepaired.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "persistence/app_config.h"

namespace {
bool In(float v, float lo, float hi) { return v >= lo && v <= hi; }  // false for NaN
bool In(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

bool InRange(const AppConfig& c) {
    for (float v : {c.vocalBalance, c.vocalBody, c.vocalSmooth, c.vocalWarmth, c.vocalBodyPlus, c.vocalOpto2a,
                    c.beatVolume, c.masterGlue}) {
        if (!In(v, 0.0f, 100.0f)) return false;
    }
    const bool asio = c.asioBufferFrames == 64 || c.asioBufferFrames == 128 || c.asioBufferFrames == 256 ||
                      c.asioBufferFrames == 512;
    return asio && In(c.vocalVolume, 0.0f, 150.0f) && In(c.vocalAir, 0.0f, 10.0f) && In(c.reverb, 0.0f, 50.0f) &&
           In(c.echo, 0.0f, 40.0f) && In(c.harmonyVolume, 8.0f, 45.0f) && In(c.masterOutputDb, -6.0f, 8.0f) &&
           In(c.micChannel, 0, 2) && In(c.wasapiMicChannel, 0, 2) && In(c.miniOutputMode, 0, 1) &&
           In(c.recordMode, 0, 1) && In(c.studioMode, 0, 1) && In(c.tuneMode, 1, 3) && In(c.vocalPreset, 0, 13) &&
           In(c.setupVersion, 1, 99) && !c.recordName.empty() && !c.recordFolder.empty();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const AppConfig defaults = DefaultAppConfig();
    AppConfig loaded = defaults;
    ReadConfigText(std::string_view(reinterpret_cast<const char*>(data), size), loaded);
    if (!InRange(loaded)) std::abort();
    const std::string saved = WriteConfigText(loaded);
    AppConfig again = defaults;
    if (!ReadConfigText(saved, again) || WriteConfigText(again) != saved) std::abort();
    return 0;
}
