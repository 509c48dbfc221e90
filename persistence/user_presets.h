#pragma once
// The singer's own presets ("PRESET CỦA TÔI"), kept in
// "sonavela_user_presets.txt", one per line of 17 '|'-separated fields:
// name, vocal volume, balance, body, smooth, warmth, air, reverb, echo,
// harmony volume, master glue, auto-tune style, effects, auto-tune, harmony,
// body plus, opto 2A. Names are unique (exact comparison).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/working_values.h"

struct UserPreset {
    std::string name;
    float vocalVolume = 100.0f;
    float balance = 55.0f;
    float body = 55.0f;
    float smooth = 50.0f;
    float warmth = 45.0f;
    float bodyPlus = 50.0f;  // not the config's 38: lines written before it existed load with 50
    float opto2a = 0.0f;
    float air = 2.8f;
    float reverb = 18.0f;
    float echo = 12.0f;
    float harmonyVolume = 24.0f;
    float masterGlue = 60.0f;
    int32_t tuneMode = 1;
    bool fxEnabled = true;
    bool tuneEnabled = true;
    bool harmonyEnabled = false;

    bool operator==(const UserPreset&) const = default;
};

extern std::vector<UserPreset> userPresets;

inline constexpr size_t kMaxPresetNameBytes = 64;

// '|' and every control character (tab, CR, LF...) become spaces, the
// spaces at both ends go, and the rest is cut to 64 bytes between UTF-8
// characters, with a space the cut leaves at the end trimmed too.
std::string CleanPresetName(std::string_view name);

// Empties the list and reads the file; bad lines are dropped silently.
void LoadUserPresets();
// Rewrites the file from the list; false (and the old file kept) on failure.
bool SaveUserPresets();
// Index of the preset named exactly so, or -1.
int32_t FindUserPreset(std::string_view name);

std::vector<UserPreset> ParseUserPresets(std::string_view text);
std::string FormatUserPresets(const std::vector<UserPreset>& presets);

// The sound a preset holds, as the preset operations push it.
VocalSound PresetVocalSound(const UserPreset& preset);

// "LƯU": the current sound under the cleaned name, overwriting a preset of
// that name in place or appended; it becomes the active preset and the
// config is saved. -1 (and nothing done) for a name that cleans to nothing.
int32_t SaveCurrentAsUserPreset(std::string_view typedName, WorkingValues& values);
// "ĐỔI TÊN" on the active preset; false (nothing changed) for an empty name,
// one taken by another preset, or no active preset.
bool RenameActiveUserPreset(std::string_view typedName, WorkingValues& values);
// "XÓA": removes the active preset; the sound stays, the selection becomes
// built-in 7. False when no user preset is active.
bool DeleteActiveUserPreset(WorkingValues& values);
// Start-up, after the load: the active preset's index, or a stale
// active_user_preset cleared with vocal_preset 7 and the config saved.
void ResolveActiveUserPreset(WorkingValues& values);
