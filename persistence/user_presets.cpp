#include "persistence/user_presets.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <unordered_set>
#include <variant>

#include "engine/engine_params.h"
#include "persistence/atomic_file.h"
#include "persistence/config_numbers.h"
#include "persistence/data_folder.h"
#include "persistence/text_fields.h"
#include "persistence/vocal_presets.h"

std::vector<UserPreset> userPresets;

namespace {
// A thousand presets of the longest names are under 250 kB: anything far
// larger is not a presets file and is read no further.
constexpr size_t kMaxFileBytes = 4 << 20;
// What the selection falls back to when the active preset goes away.
constexpr int32_t kFallbackBuiltinPreset = 7;

// Out of range is clamped; a value that is no number drops the whole line.
struct FloatColumn {
    float UserPreset::*field;
    float lo, hi;
};
struct IntColumn {
    int32_t UserPreset::*field;
    int32_t lo, hi;
};
// Read as an integer, non-zero meaning true.
struct BoolColumn {
    bool UserPreset::*field;
};
using Column = std::variant<FloatColumn, IntColumn, BoolColumn>;

using P = UserPreset;
// The fields after the name, in file order. Body plus and opto 2A came
// later: older lines stop before one or both and keep their defaults.
const Column kColumns[] = {
    FloatColumn{&P::vocalVolume, 0, 150}, FloatColumn{&P::balance, 0, 100},     FloatColumn{&P::body, 0, 100},
    FloatColumn{&P::smooth, 0, 100},      FloatColumn{&P::warmth, 0, 100},      FloatColumn{&P::air, 0, 10},
    FloatColumn{&P::reverb, 0, 50},       FloatColumn{&P::echo, 0, 40},         FloatColumn{&P::harmonyVolume, 8, 45},
    FloatColumn{&P::masterGlue, 0, 100},  IntColumn{&P::tuneMode, 1, 3},        BoolColumn{&P::fxEnabled},
    BoolColumn{&P::tuneEnabled},          BoolColumn{&P::harmonyEnabled},       FloatColumn{&P::bodyPlus, 0, 100},
    FloatColumn{&P::opto2a, 0, 100},
};
constexpr size_t kFieldCount = 1 + std::size(kColumns);
constexpr size_t kOldestFieldCount = kFieldCount - 2;

bool ReadInt(std::string_view text, int32_t& value) {
    bool invalid = false;
    value = ParseIntOr(text, 0, invalid);
    return !invalid;
}

bool Read(const FloatColumn& c, std::string_view text, UserPreset& preset) {
    float value = 0.0f;
    if (!ParseFloatPrefix(text, value)) return false;
    preset.*c.field = std::clamp(value, c.lo, c.hi);
    return true;
}
bool Read(const IntColumn& c, std::string_view text, UserPreset& preset) {
    int32_t value = 0;
    if (!ReadInt(text, value)) return false;
    preset.*c.field = std::clamp(value, c.lo, c.hi);
    return true;
}
bool Read(const BoolColumn& c, std::string_view text, UserPreset& preset) {
    int32_t value = 0;
    if (!ReadInt(text, value)) return false;
    preset.*c.field = value != 0;
    return true;
}

// Four decimals in the classic format: printf and streams would follow the
// locale and write a decimal comma, which reads back as the integer part.
std::string FormatFixed(float value) {
    char buffer[64];  // the largest float is 39 digits before the point
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return std::string(buffer, result.ptr);
}

std::string Write(const FloatColumn& c, const UserPreset& preset) { return FormatFixed(preset.*c.field); }
std::string Write(const IntColumn& c, const UserPreset& preset) { return std::to_string(preset.*c.field); }
std::string Write(const BoolColumn& c, const UserPreset& preset) { return preset.*c.field ? "1" : "0"; }

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
        if (!std::visit([&](const auto& column) { return Read(column, fields[i], preset); }, kColumns[i - 1])) {
            return false;
        }
    }
    return true;
}

bool ValidIndex(int32_t index) { return index >= 0 && static_cast<size_t>(index) < userPresets.size(); }

// The current sound and switches, as "LƯU" keeps them.
UserPreset CurrentPreset(std::string name, const WorkingValues& values) {
    const VocalSound s = CurrentVocalSound(values);
    return {.name = std::move(name),
            .vocalVolume = s.vocalVolume,
            .balance = s.balance,
            .body = s.body,
            .smooth = s.smooth,
            .warmth = s.warmth,
            .bodyPlus = s.bodyPlus,
            .opto2a = s.opto2a,
            .air = s.air,
            .reverb = s.reverb,
            .echo = s.echo,
            .harmonyVolume = s.harmonyVolume,
            .masterGlue = s.masterGlue,
            .tuneMode = engine.tuneMode,
            .fxEnabled = engine.fxEnabled,
            .tuneEnabled = engine.tuneEnabled,
            .harmonyEnabled = engine.harmonyEnabled};
}

// No user preset active, the selection a built-in one; the sound stays.
void FallBackToBuiltin(WorkingValues& values) {
    values.userPreset = -1;
    appConfig.activeUserPreset.clear();
    SelectBuiltinPreset(kFallbackBuiltinPreset, values);
    SaveConfig();
}
}  // namespace

namespace {
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

std::vector<UserPreset> ParseUserPresets(std::string_view text) {
    std::vector<UserPreset> presets;
    std::unordered_set<std::string> names;  // a hostile file may hold a great many lines
    ForEachLine(text, [&](std::string_view line) {
        UserPreset preset;
        if (ParseLine(line, preset) && names.insert(preset.name).second) presets.push_back(std::move(preset));
    });
    return presets;
}

std::string FormatUserPresets(const std::vector<UserPreset>& presets) {
    std::string text;
    for (const UserPreset& preset : presets) {
        // Cleaned again so a name set by other code can never split its line.
        text += CleanPresetName(preset.name);
        for (const Column& column : kColumns) {
            text += '|';
            text += std::visit([&](const auto& c) { return Write(c, preset); }, column);
        }
        text += '\n';
    }
    return text;
}

void LoadUserPresets() {
    std::string text;
    userPresets = ReadTextFile(UserPresetsPath(), text, kMaxFileBytes) ? ParseUserPresets(text)
                                                                        : std::vector<UserPreset>{};
}

bool SaveUserPresets() { return WriteFileAtomically(UserPresetsPath(), FormatUserPresets(userPresets)); }

int32_t FindUserPreset(std::string_view name) {
    const auto found = std::find_if(userPresets.begin(), userPresets.end(),
                                    [&](const UserPreset& preset) { return preset.name == name; });
    return found == userPresets.end() ? -1 : static_cast<int32_t>(found - userPresets.begin());
}

VocalSound PresetVocalSound(const UserPreset& p) {
    return {p.vocalVolume, p.balance, p.body,   p.smooth, p.warmth,        p.bodyPlus,
            p.opto2a,      p.air,     p.reverb, p.echo,   p.harmonyVolume, p.masterGlue};
}

int32_t SaveCurrentAsUserPreset(std::string_view typedName, WorkingValues& values) {
    std::string name = CleanPresetName(typedName);
    if (name.empty()) return -1;
    int32_t index = FindUserPreset(name);
    if (index < 0) {
        index = static_cast<int32_t>(userPresets.size());
        userPresets.emplace_back();
    }
    userPresets[static_cast<size_t>(index)] = CurrentPreset(name, values);
    SaveUserPresets();
    values.userPreset = index;
    SelectBuiltinPreset(kCustomPreset, values);
    appConfig.activeUserPreset = std::move(name);
    SyncConfigFromEngine(values);
    SaveConfig();
    return index;
}

bool RenameActiveUserPreset(std::string_view typedName, WorkingValues& values) {
    if (!ValidIndex(values.userPreset)) return false;
    const std::string name = CleanPresetName(typedName);
    const int32_t holder = FindUserPreset(name);
    if (name.empty() || (holder >= 0 && holder != values.userPreset)) return false;
    userPresets[static_cast<size_t>(values.userPreset)].name = name;
    appConfig.activeUserPreset = name;
    SaveUserPresets();
    SaveConfig();
    return true;
}

bool DeleteActiveUserPreset(WorkingValues& values) {
    if (!ValidIndex(values.userPreset)) return false;
    userPresets.erase(userPresets.begin() + values.userPreset);
    SaveUserPresets();
    FallBackToBuiltin(values);
    return true;
}

void ResolveActiveUserPreset(WorkingValues& values) {
    const std::string& name = appConfig.activeUserPreset;
    const int32_t index = name.empty() ? -1 : FindUserPreset(name);
    if (!name.empty() && index < 0) {
        FallBackToBuiltin(values);
        return;
    }
    values.userPreset = index;
}
