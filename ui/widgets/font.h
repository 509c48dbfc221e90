#pragma once
// The one font the window draws with, its glyphs and a check that no label
// was drawn with a glyph the font lacks.

#include <imgui.h>

#include <string>

// Basic Latin and Latin-1, the Vietnamese letters, the symbols and dashes the
// labels use, and U+FFFD, which stands in for anything else so that a
// missing glyph can be found.
const ImWchar* UiGlyphRanges();
// Adds the font at 18 px (3 x 3 oversampling) to the current context's atlas
// as its default. False with the reason when the font file is missing or
// unreadable; the library's own font then stands in.
bool LoadUiFont(std::string& reason);
// Glyphs of this frame's draw data drawn as the stand-in: each is a
// character some label needs and the font lacks. 0 before a font is loaded.
int CountMissingGlyphs(const ImDrawData* data);
