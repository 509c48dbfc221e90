#include "recording/record_name.h"

#include <cstdio>
#include <cstring>

#include "platform/file_access.h"
#include "platform/utf8_text.h"

namespace {
// File systems allow 255 bytes per name; the rest is at most
// "_Vocal_YYYYMMDD_hhmmss_NNNNNNNNNN.wav".
constexpr size_t kMaxNameBytes = 200;

void TrimTrailingSpacesAndDots(std::string& s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.pop_back();
}
}  // namespace

std::string SanitizeRecordName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32) continue;
        out += std::strchr("\\/:*?\"<>|", c) != nullptr ? '_' : c;
    }
    TrimTrailingSpacesAndDots(out);
    return out.empty() ? "Sonavela" : out;
}

std::string RecordFileName(const std::string& name, int32_t mode, const LocalTime& time, uint32_t attempt) {
    std::string base = TruncateUtf8(SanitizeRecordName(name), kMaxNameBytes);
    TrimTrailingSpacesAndDots(base);
    if (base.empty()) base = "Sonavela";
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "_%s_%04d%02d%02d_%02d%02d%02d", mode == 1 ? "Vocal" : "Mix", time.year,
                  time.month, time.day, time.hour, time.minute, time.second);
    std::string counter = attempt > 1 ? "_" + std::to_string(attempt) : "";
    return base + stamp + counter + ".wav";
}

std::string JoinRecordPath(const std::string& folder, const std::string& fileName) {
    const bool endsInSeparator = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    return endsInSeparator ? folder + fileName : folder + kPathSeparator + fileName;
}
