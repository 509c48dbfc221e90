#include "persistence/user_presets.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <unordered_set>

#include "persistence/atomic_file.h"
#include "persistence/config_numbers.h"
#include "persistence/data_folder.h"
#include "persistence/text_fields.h"

std::vector<UserPreset> userPresets;
KeptFile userPresetsFile;

ParamValues UserPreset::NewPresetValues() {
    ParamValues values = DefaultParamValues();
    values[Param::VocalBodyPlus] = 50.0f;
    return values;
}

namespace {
// A thousand presets of the longest names are under 250 kB: anything far
// larger is not a presets file and is read no further (and kept aside
// before it is replaced).
constexpr size_t kMaxFileBytes = 4 << 20;

// The fields after the name, in file order. Body plus and opto 2A came
// later: older lines stop before one or both and keep their defaults.
constexpr Param kColumns[] = {
    Param::VocalVolume,   Param::VocalBalance,   Param::VocalBody,     Param::VocalSmooth,
    Param::VocalWarmth,   Param::VocalAir,       Param::Reverb,        Param::Echo,
    Param::HarmonyVolume, Param::MasterGlue,     Param::TuneMode,      Param::FxEnabled,
    Param::TuneEnabled,   Param::HarmonyEnabled, Param::VocalBodyPlus, Param::VocalOpto2a,
};
constexpr size_t kFieldCount = 1 + std::size(kColumns);
constexpr size_t kOldestFieldCount = kFieldCount - 2;

bool ReadInt(std::string_view text, int32_t& value) {
    bool invalid = false;
    value = ParseIntOr(text, 0, invalid);
    return !invalid;
}

// A level out of range is clamped; a style is an integer clamped to its
// range; a switch is an integer, non-zero meaning on. A value that is no
// number drops the whole line.
bool ReadColumn(Param p, std::string_view text, UserPreset& preset) {
    const ParamSpec& s = Spec(p);
    if (s.kind == ParamKind::Level) {
        float value = 0.0f;
        if (!ParseFloatPrefix(text, value)) return false;
        preset.values[p] = std::clamp(value, s.lo, s.hi);
        return true;
    }
    int32_t value = 0;
    if (!ReadInt(text, value)) return false;
    preset.values[p] =
        s.kind == ParamKind::Switch
            ? (value != 0 ? 1.0f : 0.0f)
            : static_cast<float>(std::clamp(value, static_cast<int32_t>(s.lo), static_cast<int32_t>(s.hi)));
    return true;
}

// Four decimals in the classic format: printf and streams would follow the
// locale and write a decimal comma, which reads back as the integer part.
std::string FormatFixed(float value) {
    char buffer[64];  // the largest float is 39 digits before the point
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return std::string(buffer, result.ptr);
}

std::string WriteColumn(Param p, const UserPreset& preset) {
    const float v = preset.values[p];
    switch (Spec(p).kind) {
        case ParamKind::Level:
            return FormatFixed(v);
        case ParamKind::Style:
            return std::to_string(static_cast<int32_t>(v));
        case ParamKind::Switch:
            break;
    }
    return v != 0.0f ? "1" : "0";
}

// Fills `fields` and returns how many the line has; one more than fits
// for a line with too many.
size_t SplitFields(std::string_view line, std::array<std::string_view, kFieldCount>& fields) {
    size_t count = 0;
    while (count < fields.size()) {
        const size_t bar = line.find('|');
        fields[count++] = line.substr(0, bar);
        if (bar == std::string_view::npos) return count;
        line.remove_prefix(bar + 1);
    }
    return count + 1;
}

bool ParseLine(std::string_view line, UserPreset& preset) {
    std::array<std::string_view, kFieldCount> fields;
    const size_t count = SplitFields(line, fields);
    if (count < kOldestFieldCount || count > kFieldCount) return false;
    preset.name = CleanPresetName(fields[0]);
    if (preset.name.empty()) return false;
    for (size_t i = 1; i < count; ++i) {
        if (!ReadColumn(kColumns[i - 1], fields[i], preset)) return false;
    }
    return true;
}

std::string_view TrimSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}
}  // namespace

// Trimmed again after the cut: a name ending in a space would lose it at the
// next load and no longer match the active preset or its own line.
std::string CleanPresetName(std::string_view name) {
    const std::string cut = TruncateUtf8(TrimSpaces(CleanField(name, '|')), kMaxPresetNameBytes);
    return std::string(TrimSpaces(cut));
}

std::vector<UserPreset> ParseUserPresets(std::string_view text, std::vector<std::string>* unread) {
    std::vector<UserPreset> presets;
    std::unordered_set<std::string> names;  // a hostile file may hold a great many lines
    ForEachLine(text, [&](std::string_view line) {
        UserPreset preset;
        if (ParseLine(line, preset) && names.insert(preset.name).second) {
            presets.push_back(std::move(preset));
        } else if (unread != nullptr && !line.empty()) {
            unread->emplace_back(RawLine(line, text));
        }
    });
    return presets;
}

// The unread lines go after the presets, so a name they repeat stays the later one.
std::string FormatUserPresets(const std::vector<UserPreset>& presets, const std::vector<std::string>& unread) {
    std::string text;
    for (const UserPreset& preset : presets) {
        // Cleaned again so a name set by other code can never split its line.
        text += CleanPresetName(preset.name);
        for (Param p : kColumns) {
            text += '|';
            text += WriteColumn(p, preset);
        }
        text += '\n';
    }
    for (const std::string& line : unread) text += line + '\n';
    return text;
}

void LoadUserPresets() {
    const std::string text = LoadKeptFile(userPresetsFile, UserPresetsPath(), kMaxFileBytes);
    userPresets = ParseUserPresets(text, &userPresetsFile.unreadLines);
}

bool SaveUserPresets() {
    return SaveKeptFile(userPresetsFile, UserPresetsPath(),
                        FormatUserPresets(userPresets, userPresetsFile.unreadLines));
}

int32_t FindUserPreset(std::string_view name) {
    const auto found = std::find_if(userPresets.begin(), userPresets.end(),
                                    [&](const UserPreset& preset) { return preset.name == name; });
    return found == userPresets.end() ? -1 : static_cast<int32_t>(found - userPresets.begin());
}
