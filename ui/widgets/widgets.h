#pragma once
// The composite pieces the panels are drawn with. Main thread, inside a frame.

#include <imgui.h>

#include <cstring>
#include <string>

#include "platform/utf8_text.h"

// A column section's heading: the title in the accent, the subtitle muted,
// a faint rule in the accent and a 7 px gap.
void SectionHeader(const char* title, const char* subtitle, const ImVec4& accent);
// A small rounded pill with the text, taking its size as one item.
void StatusBadge(const char* text, const ImVec4& colour);

// What a level meter shows for a linear peak: the square-root scaled level
// (a peak of 0.64 fills the bar), its colour and the value text.
struct MeterReading {
    float level = 0.0f;
    ImVec4 colour;
    char text[16] = {};
};
MeterReading ReadMeter(float peak);
// The label, the value text at the right edge and a 14 px bar.
void LevelMeter(const char* label, float peak);

// The Studio heading strip: the name, the "STUDIO / ASIO" badge, the preset
// badge ("CUSTOM" for an empty name) and "REC" while recording.
void TopBar(const char* presetName, bool recording);

// A green-edged card (the auto-tune and Tone Control cards): a bordered
// child at least the given height, no scrollbar, its text wrapped. A card
// whose contents took more grows to fit them from the next frame on, rather
// than cut off its last row. Each BeginCard wants its EndCard; cards do not nest.
void BeginCard(const char* id, float height);
void EndCard();
// Text in a colour, wrapped at the window's edge and noted for the tests.
void NotedText(const ImVec4& colour, const char* text);
// A button in its own colours; a zero colour keeps the theme's. A set width
// grows to fit the label.
bool ColouredButton(const char* label, const ImVec2& size, const ImVec4& colour, const ImVec4& hovered);
// A combo over fixed entries: true when an entry was picked (the one shown
// too), `index` then holds it. Each entry is noted under its own label for the tests. The
// preview is `unchosen` while the index is outside the entries.
bool ChoiceCombo(const char* id, int& index, const char* const* entries, int count, const char* unchosen = "");
// SameLine when an item of the given width still fits beside the last one;
// otherwise the item goes to the next line. True when it stays on the line.
bool SameLineIfFits(float width);

// Text into a fixed text field, cut between characters when it is longer.
template <size_t N>
void FillField(char (&field)[N], const std::string& text) {
    const std::string kept = TruncateUtf8(text, N - 1);
    std::memcpy(field, kept.c_str(), kept.size() + 1);
}

// The Mini Player's two confirmations: a modal with a warning heading, the
// text, and a coloured confirm button beside a cancel one. True on the frame
// the user confirmed (the popup is then closed).
struct ConfirmPopupLook {
    const char* heading;
    ImVec4 headingColour;
    const char* text;
    const char* confirm;
    ImVec2 confirmSize;
    ImVec4 confirmColour;
    const char* cancel;
    ImVec2 cancelSize;
};
bool ConfirmPopup(const char* id, const ConfirmPopupLook& look);
