#pragma once
// The singer's own presets ("PRESET CỦA TÔI"), kept in
// "sonavela_user_presets.txt", one per line of 17 '|'-separated fields:
// name, vocal volume, balance, body, smooth, warmth, air, reverb, echo,
// harmony volume, master glue, auto-tune style, effects, auto-tune, harmony,
// body plus, opto 2A. Names are unique (exact comparison). The operations
// on the list live with the application (app/presets.h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/parameters.h"
#include "persistence/kept_file.h"

struct UserPreset {
    std::string name;
    // The parameters marked kInUserPreset; the others stay at their defaults.
    ParamValues values = NewPresetValues();

    // Body plus starts at 50, not the config's 38: lines written before it existed load with 50.
    static ParamValues NewPresetValues();
    bool operator==(const UserPreset&) const = default;
};

extern std::vector<UserPreset> userPresets;
// What LoadUserPresets found, and the lines it could not read.
extern KeptFile userPresetsFile;

inline constexpr size_t kMaxPresetNameBytes = 64;

// '|' and every control character (tab, CR, LF...) become spaces, the
// spaces at both ends go, and the rest is cut to 64 bytes between UTF-8
// characters, with a space the cut leaves at the end trimmed too.
std::string CleanPresetName(std::string_view name);

// Empties the list and reads the file. A line it cannot read (a field count
// this version does not write, a value that is no number, a name taken by
// an earlier line) is not loaded but kept in userPresetsFile.
void LoadUserPresets();
// Rewrites the file from the list, then the lines kept unread as they were;
// false (and the old file kept) on failure.
bool SaveUserPresets();
// Index of the preset named exactly so, or -1.
int32_t FindUserPreset(std::string_view name);

// `unread` gets the non-empty lines that load as no preset, each as the file holds it.
std::vector<UserPreset> ParseUserPresets(std::string_view text, std::vector<std::string>* unread = nullptr);
std::string FormatUserPresets(const std::vector<UserPreset>& presets, const std::vector<std::string>& unread = {});
