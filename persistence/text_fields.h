#pragma once
// Text and numbers as the kept files hold them: numbers always in the
// classic "C" format whatever the user's locale (a decimal comma would turn
// 2.8 into 2), text cut only between UTF-8 characters, and a field
// separator replaced inside values so every entry reads back as written.

#include <string>
#include <string_view>

#include "platform/utf8_text.h"

// The text with every `separator` and control character replaced by a space.
std::string CleanField(std::string_view text, char separator);

// Six significant digits, as "%g" writes them in the "C" locale: -2, 1.5.
std::string FormatNumber(double value);

// The decimal number at the start of the text (after blanks and a sign);
// false when there is none or it is not finite.
bool ParseNumberPrefix(std::string_view text, double& value);
// The same for a float: a number beyond the float range is none.
bool ParseFloatPrefix(std::string_view text, float& value);

// The text's lines, each without its line feed and one trailing carriage return.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        visit(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// A line ForEachLine gave from `text`, with the carriage return it took off:
// a line kept unread is written back byte for byte.
inline std::string_view RawLine(std::string_view line, std::string_view text) {
    const char* end = line.data() + line.size();
    const bool cut = end < text.data() + text.size() && *end == '\r';
    return {line.data(), line.size() + (cut ? 1 : 0)};
}
