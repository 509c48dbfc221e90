// The Studio shell in real GUI frames: shortcuts, the Studio Mode request,
// the columns, the window's place and the notices.

#include <gtest/gtest.h>

#include "app/host_requests.h"
#include "app/notices.h"
#include "devices/beat_pump.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "platform/shortcut_keys.h"
#include "tests/ui/frame_harness.h"
#include "ui/shell_frame.h"

namespace {
class Shell : public ::testing::Test {
protected:
    ShellState shell;
    void SetUp() override {
        InitEngine();
        appConfig = DefaultAppConfig();
        StartHeadlessUi();
    }
    void TearDown() override { StopHeadlessUi(); }
    void Frame() {
        BeforeShellFrame(shell);
        RunFrame([&] { DrawShellFrame(shell); });
    }
    // The key held for the given frames, then released for one.
    void Press(int key, int framesHeld = 1) {
        SetKeyDown(key, true);
        for (int i = 0; i < framesHeld; ++i) Frame();
        SetKeyDown(key, false);
        Frame();
    }
};
}  // namespace

TEST_F(Shell, ShortcutsActOncePerPressAndNeverWhileTyping) {
    const ShortcutKeyCodes& k = ShortcutKeys();
    const bool fx = engine.fxEnabled;
    Press(k.t, 4);
    EXPECT_NE(engine.fxEnabled, fx);
    Press(k.numpadDivide);
    EXPECT_EQ(engine.fxEnabled, fx);
    Press(k.numpadDecimal);
    EXPECT_TRUE(engine.harmonyEnabled);

    Press(k.numpadPlus, 5);  // held: one semitone only
    EXPECT_EQ(shell.toneSemitones, 1.0f);
    for (int i = 0; i < 4; ++i) Press(k.numpadPlus);
    EXPECT_EQ(shell.toneSemitones, 3.0f);
    EXPECT_EQ(RequestedBeatTone(), 3.0f);
    Press(k.numpadMinus);
    EXPECT_EQ(shell.toneSemitones, 2.0f);
    Press(k.numpad0);
    EXPECT_EQ(RequestedBeatTone(), 0.0f);

    char text[16] = "";
    const auto typing = [&] {
        DrawShellFrame(shell);
        ImGui::Begin("Typing");
        ImGui::InputText("##Typed", text, sizeof text);
        NoteItem("##Typed");
        ImGui::End();
    };
    RunFrame(typing);
    ASSERT_TRUE(Click("##Typed", typing));
    SetKeyDown(k.t, true);
    TypeText("t");
    RunFrame(typing);
    SetKeyDown(k.t, false);
    RunFrame(typing);
    EXPECT_EQ(engine.fxEnabled, fx);
    EXPECT_STREQ(text, "t");
}

TEST_F(Shell, DimRemembersAQuietBeatAsTheDefaultAndGivesItBack) {
    engine.beatVolume = 0.02f;
    Press(ShortcutKeys().numpadMultiply);
    EXPECT_FLOAT_EQ(engine.beatVolume, 0.0704f);
    EXPECT_FLOAT_EQ(shell.sliders[Param::BeatVolume], 7.04f);
    Press(ShortcutKeys().numpadMultiply);
    EXPECT_FLOAT_EQ(engine.beatVolume, 0.32f);
    EXPECT_FLOAT_EQ(appConfig.beatVolume, ParamDefault(Param::BeatVolume));
}

TEST_F(Shell, AStudioModeButtonPostsARequestTheNextFrameCarriesOutOnce) {
    const auto draw = [&] { DrawShellFrame(shell); };
    Frame();
    ASSERT_TRUE(Click("VOCAL + BEAT", draw));  // the mode in force: nothing asked
    EXPECT_EQ(hostRequests.requestedStudioMode, -1);
    ASSERT_TRUE(Click("BEAT ONLY", draw));
    EXPECT_EQ(hostRequests.requestedStudioMode, 1);
    BeforeShellFrame(shell);
    EXPECT_TRUE(engine.studioMode == 1 && appConfig.studioMode == 1 && hostRequests.requestedStudioMode == -1);
}

TEST_F(Shell, ColumnsAndWindowTakeTheirSizesFromTheSpaceThereIs) {
    Frame();
    const float available = 1240 - 2 * ImGui::GetStyle().WindowPadding.x;
    const ProbedItem* vocal = FindItem("##StudioColVocal");
    const ProbedItem* beat = FindItem("##StudioColBeat");
    const ProbedItem* library = FindItem("##StudioColLibrary");
    ASSERT_TRUE(vocal && beat && library);
    EXPECT_NEAR(beat->min.x - vocal->min.x, VocalColumnWidth(available), 1.0f);
    EXPECT_NEAR(library->min.x - beat->min.x, BeatColumnWidth(available), 1.0f);
    struct Case {
        float available, vocal, beat;
    };
    for (const Case& c : {Case{900, 350, 385}, Case{1212, 369.66f, 399.96f}, Case{1900, 390, 420}}) {
        EXPECT_NEAR(VocalColumnWidth(c.available), c.vocal, 0.01f);
        EXPECT_NEAR(BeatColumnWidth(c.available), c.beat, 0.01f);
    }
    struct Place {
        WindowBounds work, window;
    };
    for (const Place& p :
         {Place{{0, 0, 1920, 1040}, {340, 15, 1240, 1010}}, Place{{0, 0, 1010, 690}, {0, 0, 1010, 690}},
          Place{{100, 50, 3000, 2000}, {980, 350, 1240, 1400}}}) {
        const WindowBounds w = PlaceMainWindow(p.work);
        EXPECT_EQ(std::tie(w.x, w.y, w.width, w.height),
                  std::tie(p.window.x, p.window.y, p.window.width, p.window.height));
    }
}

TEST_F(Shell, NoticesAreShownOneAtATimeInTheWindow) {
    PostNotice("Sonavela - Studio Mode", "first", MessageIcon::Warning);
    PostNotice("Sonavela - Mini Output", "second", MessageIcon::Information);
    // A popup sizes itself in its first frame and shows in the next.
    const auto clickOk = [&] {
        Frame();
        Frame();
        return Click("OK##Notice", [&] { DrawShellFrame(shell); });
    };
    ASSERT_TRUE(clickOk());
    ASSERT_TRUE(clickOk());
    Frame();
    EXPECT_EQ(FindItem("OK##Notice"), nullptr);
}

TEST_F(Shell, AFrameThatDrawsTheSamePictureHasTheSameFingerprint) {
    for (int i = 0; i < 4; ++i) Frame();  // the layout settles (a card grows to its contents)
    const uint64_t first = FrameFingerprint(ImGui::GetDrawData());
    Frame();
    EXPECT_EQ(FrameFingerprint(ImGui::GetDrawData()), first);
    engine.recorderActive = true;  // the top bar's "REC" badge
    Frame();
    EXPECT_NE(FrameFingerprint(ImGui::GetDrawData()), first);
    engine.recorderActive = false;
}
