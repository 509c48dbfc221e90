// The shared widgets in a real GUI context: the meter's reading, the badge's
// size and the font against every label.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/ui/frame_harness.h"
#include "ui/widgets/font.h"
#include "ui/widgets/widgets.h"

namespace {
// A window the size of the display, as the program's panel: a window that
// sizes itself is not drawn in its first frame.
void Panel(const std::function<void()>& content) {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    ImGui::Begin("Test");
    content();
    ImGui::End();
}

TEST(LevelMeter, ReadsTheSquareRootScaleWithItsColourBorders) {
    const ImVec4 green{0.0f, 0.9f, 0.45f, 1.0f}, yellow{1.0f, 0.8f, 0.1f, 1.0f}, red{1.0f, 0.2f, 0.2f, 1.0f};
    // Levels 0.7 and 0.92 are the peaks 0.3136 and 0.5417: each border is met from both sides.
    const struct {
        float peak;
        const char* text;
        ImVec4 colour;
    } rows[] = {{0.0f, "0 %", green},          {-0.5f, "0 %", green},
                {std::nanf(""), "0 %", green}, {0.3130f, "70 %", green},
                {0.3140f, "70 %", yellow},     {0.5f, "88 %", yellow},
                {0.5410f, "92 %", yellow},     {0.5420f, "CLIP!", red},
                {0.6f, "CLIP!", red},          {std::numeric_limits<float>::infinity(), "CLIP!", red}};
    for (const auto& row : rows) {
        const MeterReading reading = ReadMeter(row.peak);
        EXPECT_STREQ(reading.text, row.text) << row.peak;
        EXPECT_EQ(std::memcmp(&reading.colour, &row.colour, sizeof(ImVec4)), 0) << row.peak;
    }
    const auto level = [](float peak) { return ReadMeter(peak).level; };
    EXPECT_TRUE(level(0.64f) == 1.0f && level(9.0f) == 1.0f && std::abs(level(0.25f) - 0.625f) < 1e-6f);
}

TEST(Widgets, AnEmptyBadgeIsItsPaddingWide) {
    StartHeadlessUi();
    RunFrame([] {
        Panel([] {
            StatusBadge("", ImVec4(1, 1, 1, 1));
            NoteItem("badge");
        });
    });
    const ProbedItem* badge = FindItem("badge");
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->max.x - badge->min.x, 18.0f);
    StopHeadlessUi();
}

TEST(UiFont, CoversTheLabelsAndShowsWhatItLacks) {
    StartHeadlessUi();
    const auto drawn = [](const char* text) {
        RunFrame([&] { Panel([&] { ImGui::TextUnformatted(text); }); });
        return CountMissingGlyphs(ImGui::GetDrawData());
    };
    EXPECT_EQ(drawn("Workspace gọn cao • Cuộn riêng từng cột – ● BẮT ĐẦU THU ★ Ũ ũ Ĩ ĩ Ơ ơ Ư ư Ă ă Đ đ ỹ Ạ é"), 0);
    EXPECT_EQ(drawn("Tone → 中"), 2);
    StopHeadlessUi();
}
}  // namespace
