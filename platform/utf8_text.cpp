#include "platform/utf8_text.h"

namespace {
bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

std::string TruncateUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t cut = maxBytes;
    // Back over the continuation bytes of a character the cut would split;
    // the bound keeps invalid text (a run of stray continuation bytes) cut.
    for (size_t back = 0; back < 4 && cut > 0 && IsContinuationByte(text[cut]); ++back) --cut;
    if (IsContinuationByte(text[cut])) cut = maxBytes;
    return std::string(text.substr(0, cut));
}
