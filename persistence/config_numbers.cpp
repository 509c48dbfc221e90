#include "persistence/config_numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "persistence/text_fields.h"

float ParseFloatOr(std::string_view text, float fallback, bool& invalid) {
    double value = 0.0;
    if (ParseNumberPrefix(text, value) && std::fabs(value) <= std::numeric_limits<float>::max()) {
        return static_cast<float>(value);
    }
    invalid = true;
    return fallback;
}

int32_t ParseIntOr(std::string_view text, int32_t fallback, bool& invalid) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    if (text.starts_with('+') && !text.starts_with("+-")) text.remove_prefix(1);
    int32_t value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc()) return value;
    invalid = true;
    return fallback;
}
