#include "ui/widgets/font.h"

#include <imgui_internal.h>
#include <stb_truetype.h>

#include "platform/font_file.h"

namespace {
// stb_truetype's own test, made before the atlas would stop on a file it cannot parse.
bool IsReadableFont(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    const int offset = size >= 12 ? stbtt_GetFontOffsetForIndex(bytes, 0) : -1;
    stbtt_fontinfo info;
    return offset >= 0 && static_cast<size_t>(offset) < size && stbtt_InitFont(&info, bytes, offset) != 0;
}
}  // namespace

const ImWchar* UiGlyphRanges() {
    // clang-format off
    static const ImWchar ranges[] = {
        0x0020, 0x00FF,  // Basic Latin, Latin-1
        0x0102, 0x0103,  // Ă ă
        0x0110, 0x0111,  // Đ đ
        0x0128, 0x0129,  // Ĩ ĩ
        0x0168, 0x0169,  // Ũ ũ
        0x01A0, 0x01A1,  // Ơ ơ
        0x01AF, 0x01B0,  // Ư ư
        0x1EA0, 0x1EF9,  // the tone-marked vowels
        0x2013, 0x2013,  // –
        0x2022, 0x2022,  // •
        0x25CF, 0x25CF,  // ●
        0x2605, 0x2605,  // ★
        // Present, it becomes the library's stand-in for every other
        // character (ahead of '?'), which CountMissingGlyphs looks for.
        0xFFFD, 0xFFFD,
        0,
    };
    // clang-format on
    return ranges;
}

bool LoadUiFont(std::string& reason) {
    const std::string path = FindUiFontFile(reason);
    if (path.empty()) {
        reason += " - dung font mac dinh.";
        return false;
    }
    size_t size = 0;
    void* data = ImFileLoadToMemory(path.c_str(), "rb", &size);
    if (data == nullptr || !IsReadableFont(data, size)) {
        IM_FREE(data);
        reason = "Khong doc duoc font " + path + " - dung font mac dinh.";
        return false;
    }
    ImFontConfig config;
    config.OversampleH = 3;
    config.OversampleV = 3;
    ImGuiIO& io = ImGui::GetIO();
    // The atlas takes the file's bytes and frees them with itself.
    io.FontDefault = io.Fonts->AddFontFromMemoryTTF(data, static_cast<int>(size), 18.0f, &config, UiGlyphRanges());
    return io.FontDefault != nullptr;
}

int CountMissingGlyphs(const ImDrawData* data) {
    if (data == nullptr || ImGui::GetCurrentContext() == nullptr) return 0;
    const ImFont* font = ImGui::GetIO().FontDefault;
    if (font == nullptr || font->FallbackGlyph == nullptr || font->FallbackChar != IM_UNICODE_CODEPOINT_INVALID) {
        return 0;
    }
    // A clipped glyph keeps its texture coordinates inside its own cell, so
    // every corner of a stand-in quad falls within the stand-in's cell and
    // nothing else drawn samples that cell.
    const ImFontGlyph& standIn = *font->FallbackGlyph;
    int corners = 0;
    for (int list = 0; list < data->CmdListsCount; ++list) {
        for (const ImDrawVert& vertex : data->CmdLists[list]->VtxBuffer) {
            const bool inU = vertex.uv.x >= standIn.U0 && vertex.uv.x <= standIn.U1;
            const bool inV = vertex.uv.y >= standIn.V0 && vertex.uv.y <= standIn.V1;
            if (inU && inV) ++corners;
        }
    }
    return corners / 4;
}
