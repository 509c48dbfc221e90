#include "platform/font_file.h"

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <filesystem>

namespace {
constexpr const char* kFamily = "DejaVu Sans";
constexpr const char* kStandardPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool IsFontFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

bool HasFamily(FcPattern* pattern, const char* family) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (std::strcmp(reinterpret_cast<const char*>(value), family) == 0) return true;
    }
    return false;
}

// The desktop's choice for the regular face. Fontconfig always answers with
// its nearest font, so an answer from another family counts as none.
std::string MatchedFile() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return "";
    std::string path;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcChar8* file = nullptr;
    if (match != nullptr && HasFamily(match, kFamily) &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        path = reinterpret_cast<const char*>(file);
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return path;
}
}  // namespace

std::string FindUiFontFile(std::string& reason) {
    std::string path = MatchedFile();
    if (IsFontFile(path)) return path;
    if (IsFontFile(kStandardPath)) return kStandardPath;
    reason = "Khong tim thay font DejaVu Sans (cai goi fonts-dejavu-core)";
    return "";
}
