#pragma once
// The user parameters, one row each: the config key, the control's label and
// format, the range and default in the units the window and the config use
// (percent, dB, a style number, 0/1 for a switch), the step to the engine's
// units and the setter, and which preset rules cover it. The config, the
// presets, the window's mirrors, the reset and the renderer are all driven by
// this table, so a parameter is described in one place only.

#include <array>
#include <cstddef>
#include <cstdint>

enum class Param : uint8_t {
    VocalVolume,
    VocalBalance,
    VocalBody,
    VocalSmooth,
    VocalWarmth,
    VocalBodyPlus,
    VocalOpto2a,
    VocalAir,
    Reverb,
    Echo,
    HarmonyVolume,
    BeatVolume,
    MasterGlue,
    MasterOutputDb,
    HarmonyEnabled,
    FxEnabled,
    TuneMode,
    TuneEnabled,
};
inline constexpr size_t kParamCount = 18;

enum class ParamKind : uint8_t {
    Level,   // a slider: any value in range
    Style,   // a whole number in range
    Switch,  // 0 or 1
};

enum ParamFlag : uint8_t {
    kMarksCustom = 1,      // moving it by hand turns the preset selection into "CUSTOM"
    kInBuiltinPreset = 2,  // a built-in preset sets it
    kInUserPreset = 4,     // a personal preset keeps it
};

struct ParamSpec {
    Param id;
    const char* key;    // the config file's key
    const char* label;  // the control's label
    const char* format;  // the slider's value format
    ParamKind kind;
    float lo, hi, defaultValue;
    float perEngineUnit;  // engine value = value / perEngineUnit (100 for a percent the engine takes as 0..1)
    void (*apply)(float engineValue);
    // The engine's value in the table's units, for the values the engine
    // holds the truth of (the two levels the sliders bind directly and the
    // switches a shortcut flips); nullptr where the window's mirror does.
    float (*engineValue)();
    uint8_t flags;
};

const ParamSpec& Spec(Param p);
const std::array<ParamSpec, kParamCount>& AllParams();
inline float ParamDefault(Param p) { return Spec(p).defaultValue; }

// One value per parameter, in the table's units.
struct ParamValues {
    std::array<float, kParamCount> values{};
    float& operator[](Param p) { return values[static_cast<size_t>(p)]; }
    float operator[](Param p) const { return values[static_cast<size_t>(p)]; }
    bool operator==(const ParamValues&) const = default;
};

ParamValues DefaultParamValues();

// A value brought into the row's range (a NaN lands on the lower bound) and
// to whole numbers for styles and switches.
float CleanParam(Param p, float value);
// Cleans the value, hands it to the engine and returns what it now holds.
float ApplyParam(Param p, float value);
// Every parameter into the engine, each cleaned in place.
void ApplyParams(ParamValues& values);
// The values whose truth the engine holds, read back from it.
void ReadEngineValues(ParamValues& values);
