// Any bytes as a presets file: unique names of 1..64 bytes, values in range; a save, unread lines
// included, loads back unchanged.

#include <cstdint>
#include <cstdlib>
#include <set>

#include "persistence/user_presets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> unread, unreadAgain;
    const std::vector<UserPreset> presets =
        ParseUserPresets(std::string_view(reinterpret_cast<const char*>(data), size), &unread);
    std::set<std::string> names;
    for (const UserPreset& p : presets) {
        for (const ParamSpec& s : AllParams()) {
            if (!(p.values[s.id] >= s.lo && p.values[s.id] <= s.hi)) std::abort();  // NaN too; the ranges are finite
        }
        if (p.name.empty() || p.name.size() > kMaxPresetNameBytes || !names.insert(p.name).second) std::abort();
    }
    const std::string saved = FormatUserPresets(presets, unread);
    if (FormatUserPresets(ParseUserPresets(saved, &unreadAgain), unreadAgain) != saved) std::abort();
    return 0;
}
