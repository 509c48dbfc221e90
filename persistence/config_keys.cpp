// The keys of the config file, in file order, each with its load rule.

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "persistence/app_config.h"
#include "persistence/config_numbers.h"
#include "persistence/data_folder.h"
#include "persistence/text_fields.h"

namespace {
// An unreadable float keeps the value held before the line (the default or
// an earlier line of the same key); a value out of range is clamped.
struct FloatRule {
    float AppConfig::*field;
    float lo, hi;
};
// `unreadable` unset: keep the value held before the line.
struct IntRule {
    int32_t AppConfig::*field;
    int32_t lo, hi;
    std::optional<int32_t> unreadable;
};
// Any value but one of `allowed` becomes `fallback`.
struct ChoiceRule {
    int32_t AppConfig::*field;
    std::array<int32_t, 4> allowed;
    int32_t fallback;
};
// Read as an integer, non-zero meaning true.
struct BoolRule {
    bool AppConfig::*field;
    bool unreadable;
};
// Verbatim but for control characters, unless `repair` says otherwise.
struct TextRule {
    std::string AppConfig::*field;
    std::string (*repair)(std::string value);
};

std::string RepairRecordFolder(std::string value) {
    return value.empty() || value == "Sonavela Recordings" ? GetDefaultRecordingsFolder() : value;
}
std::string RepairRecordName(std::string value) { return value.empty() ? "Sonavela" : value; }

using Rule = std::variant<FloatRule, IntRule, ChoiceRule, BoolRule, TextRule>;

struct ConfigKey {
    std::string_view name;
    Rule rule;
};

using C = AppConfig;
using ParamField = std::variant<float C::*, int32_t C::*, bool C::*>;

// Where each user parameter sits in the config.
constexpr std::pair<Param, ParamField> kParamFields[] = {
    {Param::VocalVolume, &C::vocalVolume},
    {Param::VocalBalance, &C::vocalBalance},
    {Param::VocalBody, &C::vocalBody},
    {Param::VocalSmooth, &C::vocalSmooth},
    {Param::VocalWarmth, &C::vocalWarmth},
    {Param::VocalBodyPlus, &C::vocalBodyPlus},
    {Param::VocalOpto2a, &C::vocalOpto2a},
    {Param::VocalAir, &C::vocalAir},
    {Param::Reverb, &C::reverb},
    {Param::Echo, &C::echo},
    {Param::HarmonyVolume, &C::harmonyVolume},
    {Param::BeatVolume, &C::beatVolume},
    {Param::MasterGlue, &C::masterGlue},
    {Param::MasterOutputDb, &C::masterOutputDb},
    {Param::HarmonyEnabled, &C::harmonyEnabled},
    {Param::FxEnabled, &C::fxEnabled},
    {Param::TuneMode, &C::tuneMode},
    {Param::TuneEnabled, &C::tuneEnabled},
};
constexpr bool FieldsInOrder() {
    for (size_t i = 0; i < std::size(kParamFields); ++i) {
        if (static_cast<size_t>(kParamFields[i].first) != i) return false;
    }
    return std::size(kParamFields) == kParamCount;
}
static_assert(FieldsInOrder(), "one field per parameter, at its index");

// A parameter's key: its range clamps, an unreadable style or switch takes
// its default, an unreadable level keeps the value held before the line.
ConfigKey ParamKey(Param p) {
    const ParamSpec& s = Spec(p);
    const ParamField field = kParamFields[static_cast<size_t>(p)].second;
    if (const auto* f = std::get_if<float C::*>(&field)) return {s.key, FloatRule{*f, s.lo, s.hi}};
    if (const auto* i = std::get_if<int32_t C::*>(&field)) {
        const auto def = static_cast<int32_t>(s.defaultValue);
        return {s.key, IntRule{*i, static_cast<int32_t>(s.lo), static_cast<int32_t>(s.hi), def}};
    }
    return {s.key, BoolRule{std::get<bool C::*>(field), s.defaultValue != 0.0f}};
}

const ConfigKey kKeys[] = {
    {"mic_channel", IntRule{&C::micChannel, 0, 2, std::nullopt}},
    ParamKey(Param::VocalVolume),
    ParamKey(Param::VocalBalance),
    ParamKey(Param::VocalBody),
    ParamKey(Param::VocalSmooth),
    ParamKey(Param::VocalWarmth),
    ParamKey(Param::VocalBodyPlus),
    ParamKey(Param::VocalOpto2a),
    ParamKey(Param::VocalAir),
    ParamKey(Param::Reverb),
    ParamKey(Param::Echo),
    ParamKey(Param::HarmonyVolume),
    ParamKey(Param::BeatVolume),
    ParamKey(Param::MasterGlue),
    ParamKey(Param::MasterOutputDb),
    ParamKey(Param::HarmonyEnabled),
    ParamKey(Param::FxEnabled),
    ParamKey(Param::TuneMode),
    ParamKey(Param::TuneEnabled),
    {"mini_output_id", TextRule{&C::miniOutputId, nullptr}},
    {"mini_output_mode", IntRule{&C::miniOutputMode, 0, 1, 0}},
    {"wasapi_mic_input_id", TextRule{&C::wasapiMicInputId, nullptr}},
    {"wasapi_mic_channel", IntRule{&C::wasapiMicChannel, 0, 2, 0}},
    {"record_folder", TextRule{&C::recordFolder, RepairRecordFolder}},
    {"record_name", TextRule{&C::recordName, RepairRecordName}},
    {"record_mode", IntRule{&C::recordMode, 0, 1, 0}},
    {"vocal_preset", IntRule{&C::vocalPreset, 0, 13, 6}},
    {"active_user_preset", TextRule{&C::activeUserPreset, nullptr}},
    {"ui_audio_device_open", BoolRule{&C::uiAudioDeviceOpen, false}},
    {"ui_mic_input_open", BoolRule{&C::uiMicInputOpen, false}},
    {"ui_latency_open", BoolRule{&C::uiLatencyOpen, false}},
    {"ui_song_library_open", BoolRule{&C::uiSongLibraryOpen, true}},
    {"setup_complete", BoolRule{&C::setupComplete, false}},
    {"setup_version", IntRule{&C::setupVersion, 1, 99, 1}},
    {"asio_device_name", TextRule{&C::asioDeviceName, nullptr}},
    {"asio_buffer_frames", ChoiceRule{&C::asioBufferFrames, {64, 128, 256, 512}, 128}},
    {"studio_mode", IntRule{&C::studioMode, 0, 1, 0}},
};

void Read(const FloatRule& r, std::string_view value, AppConfig& c, bool& invalid) {
    c.*r.field = std::clamp(ParseFloatOr(value, c.*r.field, invalid), r.lo, r.hi);
}
void Read(const IntRule& r, std::string_view value, AppConfig& c, bool& invalid) {
    c.*r.field = std::clamp(ParseIntOr(value, r.unreadable.value_or(c.*r.field), invalid), r.lo, r.hi);
}
void Read(const ChoiceRule& r, std::string_view value, AppConfig& c, bool& invalid) {
    const int32_t v = ParseIntOr(value, r.fallback, invalid);
    c.*r.field = std::find(r.allowed.begin(), r.allowed.end(), v) != r.allowed.end() ? v : r.fallback;
}
void Read(const BoolRule& r, std::string_view value, AppConfig& c, bool& invalid) {
    c.*r.field = ParseIntOr(value, r.unreadable ? 1 : 0, invalid) != 0;
}
// Control characters are read as a save would write them (spaces) before the
// repair, so a value means the same after the next save as it did when loaded.
void Read(const TextRule& r, std::string_view value, AppConfig& c, bool&) {
    std::string text = CleanField(value, '\n');
    c.*r.field = r.repair != nullptr ? r.repair(std::move(text)) : std::move(text);
}

std::string Write(const FloatRule& r, const AppConfig& c) { return FormatNumber(c.*r.field); }
std::string Write(const IntRule& r, const AppConfig& c) { return std::to_string(c.*r.field); }
std::string Write(const ChoiceRule& r, const AppConfig& c) { return std::to_string(c.*r.field); }
std::string Write(const BoolRule& r, const AppConfig& c) { return c.*r.field ? "1" : "0"; }
// Control characters become spaces: a line feed would split the line into
// a bogus one, a carriage return at the end would be lost on reading.
std::string Write(const TextRule& r, const AppConfig& c) { return CleanField(c.*r.field, '\n'); }

// A line without '=' makes the file invalid; an unknown key does not, and is kept.
void ReadLine(std::string_view line, std::string_view raw, AppConfig& config, bool& invalid) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        invalid = true;
        return;
    }
    const std::string_view name = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    const auto key =
        std::find_if(std::begin(kKeys), std::end(kKeys), [&](const ConfigKey& k) { return k.name == name; });
    if (key != std::end(kKeys)) {
        std::visit([&](const auto& rule) { Read(rule, value, config, invalid); }, key->rule);
    } else {
        config.unknownLines.append(raw).append("\n");  // with its carriage return, if it had one
    }
}
}  // namespace

ParamValues ConfigParamValues(const AppConfig& config) {
    ParamValues values;
    for (const auto& [p, field] : kParamFields) {
        values[p] = std::visit([&](auto member) { return static_cast<float>(config.*member); }, field);
    }
    return values;
}

void SetConfigParam(AppConfig& config, Param p, float value) {
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(config.*member)>;
            if constexpr (std::is_same_v<T, bool>) {
                config.*member = value != 0.0f;
            } else {
                config.*member = static_cast<T>(value);
            }
        },
        kParamFields[static_cast<size_t>(p)].second);
}

void SetConfigParamValues(AppConfig& config, const ParamValues& values) {
    for (const auto& entry : kParamFields) SetConfigParam(config, entry.first, values[entry.first]);
}

bool ReadConfigText(std::string_view text, AppConfig& config) {
    bool invalid = false;
    ForEachLine(text, [&](std::string_view line) {
        if (!line.empty()) ReadLine(line, RawLine(line, text), config, invalid);
    });
    return !invalid;
}

std::string WriteConfigText(const AppConfig& config) {
    std::string text;
    for (const ConfigKey& key : kKeys) {
        text.append(key.name).append("=");
        text += std::visit([&](const auto& rule) { return Write(rule, config); }, key.rule);
        text += '\n';
    }
    return text + config.unknownLines;
}
