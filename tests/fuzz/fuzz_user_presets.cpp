// Any bytes at all as a user presets file: every preset that loads has a
// name of 1..64 bytes unlike any other and every value in its range, and
// what is saved loads back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "persistence/user_presets.h"

namespace {
bool In(float v, float lo, float hi) { return v >= lo && v <= hi; }  // false for NaN, and the ranges are finite

bool InRange(const UserPreset& p) {
    for (const ParamSpec& s : AllParams()) {
        if (!In(p.values[s.id], s.lo, s.hi)) return false;
    }
    return !p.name.empty() && p.name.size() <= kMaxPresetNameBytes;
}

std::string Resaved(const std::string& saved) { return FormatUserPresets(ParseUserPresets(saved)); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<UserPreset> presets = ParseUserPresets(std::string_view(reinterpret_cast<const char*>(data), size));
    std::set<std::string> names;
    for (const UserPreset& p : presets) {
        if (!InRange(p) || !names.insert(p.name).second) std::abort();
    }
    const std::string saved = FormatUserPresets(presets);
    if (Resaved(saved) != saved) std::abort();
    return 0;
}
