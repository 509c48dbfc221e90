#include "persistence/text_fields.h"

#include <charconv>
#include <cmath>
#include <limits>

std::string CleanField(std::string_view text, char separator) {
    std::string out(text);
    for (char& c : out) {
        if (c == separator || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return out;
}

std::string FormatNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

bool ParseNumberPrefix(std::string_view text, double& value) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    // from_chars also reads "nan" and "inf"; a kept number never is one.
    if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '-' || *begin == '.')) {
        return false;
    }
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec != std::errc() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool ParseFloatPrefix(std::string_view text, float& value) {
    double parsed = 0.0;
    if (!ParseNumberPrefix(text, parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) return false;
    value = static_cast<float>(parsed);
    return true;
}
