#include "engine/parameters.h"

#include <cmath>

#include "engine/engine_params.h"
#include "engine/engine_setters.h"
#include "engine/master_bus.h"
#include "engine/param_clamp.h"

namespace {
void StoreVocalVolume(float v) { engine.vocalVolume = v; }
void StoreHarmonyVolume(float v) { engine.harmonyVolume = v; }
void StoreBeatVolume(float v) { engine.beatVolume = v; }
void SetAir(float db) { SetVocalAir(EngineParams::sampleRate, db); }
void StoreHarmonyEnabled(float v) { engine.harmonyEnabled = v != 0.0f; }
void StoreFxEnabled(float v) { engine.fxEnabled = v != 0.0f; }
void StoreTuneMode(float v) { SetTuneMode(static_cast<int32_t>(v)); }
void StoreTuneEnabled(float v) {
    if (IsTuneEnabled() != (v != 0.0f)) ToggleTune();
}
float VocalVolumeNow() { return engine.vocalVolume; }
float HarmonyVolumeNow() { return engine.harmonyVolume; }
float HarmonyEnabledNow() { return engine.harmonyEnabled ? 1.0f : 0.0f; }
float FxEnabledNow() { return engine.fxEnabled ? 1.0f : 0.0f; }
float TuneModeNow() { return static_cast<float>(GetTuneMode()); }
float TuneEnabledNow() { return IsTuneEnabled() ? 1.0f : 0.0f; }

constexpr uint8_t kVocal = kMarksCustom | kInBuiltinPreset | kInUserPreset;
constexpr ParamKind L = ParamKind::Level;
constexpr ParamKind S = ParamKind::Switch;
constexpr const char* kPercent = "%.0f %%";

// In the order of the config file's lines.
constexpr std::array<ParamSpec, kParamCount> kParams = {{
    {Param::VocalVolume, "vocal_volume", "ÂM LƯỢNG MIC", kPercent, L, 0, 150, 100, 1, StoreVocalVolume, VocalVolumeNow, kVocal},
    {Param::VocalBalance, "vocal_balance", "CÂN BẰNG", kPercent, L, 0, 100, 55, 100, SetVocalBalance, nullptr, kVocal},
    {Param::VocalBody, "vocal_body", "DÀY / BODY", kPercent, L, 0, 100, 55, 100, SetVocalBody, nullptr, kVocal},
    {Param::VocalSmooth, "vocal_smooth", "MỊN / DE-ESS", kPercent, L, 0, 100, 50, 100, SetVocalSmooth, nullptr, kVocal},
    {Param::VocalWarmth, "vocal_warmth", "LÀM ẤM", kPercent, L, 0, 100, 45, 100, SetVocalWarmth, nullptr, kVocal},
    {Param::VocalBodyPlus, "vocal_body_plus", "BODY+ / PULTEC WARM", kPercent, L, 0, 100, 38, 100, SetVocalBodyPlus,
     nullptr, kVocal},
    {Param::VocalOpto2a, "vocal_opto2a", "OPTO 2A / MƯỢT", kPercent, L, 0, 100, 0, 100, SetVocalOpto, nullptr, kVocal},
    {Param::VocalAir, "vocal_air", "LÀM SÁNG", "%.1f dB", L, 0, 10, 2.8f, 1, SetAir, nullptr, kVocal},
    {Param::Reverb, "reverb", "VANG LUX / SÁNG", kPercent, L, 0, 50, 18, 100, SetReverbLevel, nullptr, kVocal},
    {Param::Echo, "echo", "CHỈNH ECHO", kPercent, L, 0, 40, 12, 100, SetEchoLevel, nullptr, kVocal},
    {Param::HarmonyVolume, "harmony_volume", "ÂM LƯỢNG BÈ", kPercent, L, 8, 45, 24, 1, StoreHarmonyVolume,
     HarmonyVolumeNow, kVocal},
    {Param::BeatVolume, "beat_volume", "ÂM LƯỢNG BEAT", kPercent, L, 0, 100, 32, 100, StoreBeatVolume, nullptr, 0},
    {Param::MasterGlue, "master_glue", "MASTER GLUE", kPercent, L, 0, 100, 60, 100, SetMasterGlue, nullptr, kVocal},
    {Param::MasterOutputDb, "master_output_db", "MASTER OUTPUT", "%+.1f dB", L, -6, 8, 4, 1, SetMasterOutputDb, nullptr,
     0},
    {Param::HarmonyEnabled, "harmony_enabled", "HARMONY 3D", "", S, 0, 1, 0, 1, StoreHarmonyEnabled,
     HarmonyEnabledNow, kInUserPreset},
    {Param::FxEnabled, "fx_enabled", "VANG / FX", "", S, 0, 1, 1, 1, StoreFxEnabled, FxEnabledNow,
     kInBuiltinPreset | kInUserPreset},
    {Param::TuneMode, "tune_mode", "AUTO-TUNE STYLE", "", ParamKind::Style, 1, 3, 1, 1, StoreTuneMode, TuneModeNow,
     kVocal},
    {Param::TuneEnabled, "tune_enabled", "AUTO-TUNE", "", S, 0, 1, 1, 1, StoreTuneEnabled, TuneEnabledNow,
     kInUserPreset},
}};

constexpr bool RowsInOrder() {
    for (size_t i = 0; i < kParamCount; ++i) {
        if (static_cast<size_t>(kParams[i].id) != i) return false;
    }
    return true;
}
static_assert(RowsInOrder(), "each row sits at its parameter's index");
}  // namespace

const ParamSpec& Spec(Param p) { return kParams[static_cast<size_t>(p)]; }

const std::array<ParamSpec, kParamCount>& AllParams() { return kParams; }

ParamValues DefaultParamValues() {
    ParamValues values;
    for (const ParamSpec& s : kParams) values[s.id] = s.defaultValue;
    return values;
}

float CleanParam(Param p, float value) {
    const ParamSpec& s = Spec(p);
    const float v = ClampParam(value, s.lo, s.hi);
    return s.kind == ParamKind::Level ? v : std::round(v);
}

float ApplyParam(Param p, float value) {
    const float v = CleanParam(p, value);
    const ParamSpec& s = Spec(p);
    s.apply(v / s.perEngineUnit);
    return v;
}

void ApplyParams(ParamValues& values) {
    for (const ParamSpec& s : kParams) values[s.id] = ApplyParam(s.id, values[s.id]);
}

void ReadEngineValues(ParamValues& values) {
    for (const ParamSpec& s : kParams) {
        if (s.engineValue != nullptr) values[s.id] = s.engineValue();
    }
}
