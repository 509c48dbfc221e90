// Any bytes as a config file: every value loads in range; a save loads back unchanged, unrepaired.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tests/persistence/config_in_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const AppConfig defaults = DefaultAppConfig();
    AppConfig loaded = defaults, again = defaults;
    ReadConfigText(std::string_view(reinterpret_cast<const char*>(data), size), loaded);
    const std::string saved = WriteConfigText(loaded);
    if (!ConfigInRange(loaded) || !ReadConfigText(saved, again) || WriteConfigText(again) != saved) std::abort();
    return 0;
}
