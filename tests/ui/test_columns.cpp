// The Studio columns in real GUI frames on the scripted machine: each control's hand-over to the engine, the
// config and its file, the preset popups, BEAT ONLY, the device panels and Tone Control.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/controls.h"
#include "app/diagnostics.h"
#include "app/presets.h"
#include "app/takes.h"
#include "engine/beat_tone.h"
#include "engine/vocal_presets.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"
#include "platform/console.h"
#include "platform/local_time.h"
#include "recording/recorder.h"
#include "tests/devices/device_world.h"
#include "tests/support/wav_reader.h"
#include "tests/ui/frame_harness.h"
#include "tools/synth/signals.h"
#include "ui/shell_frame.h"
#include "ui/vocal_column.h"
#include "update/update_check.h"

namespace {
class Columns : public StudioWorld {
protected:
    ShellState shell;
    void SetUp() override {
        StudioWorld::SetUp();
        userPresets.clear();
        StartHeadlessUi(ImVec2(1240, 2600));  // tall enough that no column scrolls anything away
    }
    void TearDown() override {
        StopMiniOutput();
        StopHeadlessUi();
        StudioWorld::TearDown();
    }
    void Frame() {
        BeforeShellFrame(shell);
        RunFrame(Draw());
    }
    // The first frames: a card takes the height of its contents from the next frame on.
    void Settle() {
        for (int i = 0; i < 3; ++i) Frame();
    }
    std::function<void()> Draw() {
        return [this] { DrawShellFrame(shell); };
    }
    bool ClickOn(const std::string& label, float atX = 0.5f) { return Click(label, Draw(), atX); }
    // A popup's items are where they show from its second frame on.
    bool Open(const std::string& label) {
        Frame();
        const bool found = ClickOn(label);
        Frame();
        return found;
    }
    bool Pick(const std::string& combo, const std::string& entry) { return Open(combo) && ClickOn(entry); }
    static float Stored(Param p) {
        AppConfig stored = DefaultAppConfig();
        EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored));
        return ConfigParamValues(stored)[p];
    }
};

float Percent(const std::atomic<float>& amount) { return amount * 100.0f; }
}  // namespace

TEST_F(Columns, EachControlReachesTheEngineTheConfigAndItsFileAndOnlyTheSoundsOwnShowCustom) {
    struct Row {
        const char* label;
        Param param;
        float (*engineValue)();
        bool custom;
    };
    const Row rows[] = {
        {"ÂM LƯỢNG MIC", Param::VocalVolume, [] { return engine.vocalVolume.load(); }, true},
        {"CÂN BẰNG", Param::VocalBalance, [] { return Percent(engine.balanceAmount); }, true},
        {"DÀY / BODY", Param::VocalBody, [] { return Percent(engine.bodyAmount); }, true},
        {"OPTO 2A / MƯỢT", Param::VocalOpto2a, [] { return Percent(engine.optoAmount); }, true},
        {"BODY+ / PULTEC WARM", Param::VocalBodyPlus, [] { return Percent(engine.bodyPlusAmount); }, true},
        {"MỊN / DE-ESS", Param::VocalSmooth, [] { return Percent(engine.smoothAmount); }, true},
        {"LÀM ẤM", Param::VocalWarmth, [] { return Percent(engine.warmthAmount); }, true},
        {"LÀM SÁNG", Param::VocalAir, [] { return engine.airDb.load(); }, true},
        {"VANG LUX / SÁNG", Param::Reverb, [] { return Percent(engine.reverbLevel); }, true},
        {"CHỈNH ECHO", Param::Echo, [] { return Percent(engine.echoLevel); }, true},
        {"ÂM LƯỢNG BÈ", Param::HarmonyVolume, [] { return engine.harmonyVolume.load(); }, true},
        {"MASTER GLUE", Param::MasterGlue, [] { return Percent(engine.glueAmount); }, true},
        {"Hard-Tune Robot / Vinahouse", Param::TuneMode, [] { return float(engine.tuneMode); }, true},
        {"ÂM LƯỢNG BEAT", Param::BeatVolume, [] { return Percent(engine.beatVolume); }, false},
        {"MASTER OUTPUT", Param::MasterOutputDb, [] { return 20 * std::log10(engine.masterOutputGain.load()); }, false},
        {"AUTO-TUNE: DANG BAT", Param::TuneEnabled, [] { return float(engine.tuneEnabled); }, false},
        {"VANG / FX: ĐANG BẬT", Param::FxEnabled, [] { return float(engine.fxEnabled); }, false},
        {"HARMONY 3D: TẮT", Param::HarmonyEnabled, [] { return float(engine.harmonyEnabled); }, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        ApplyBuiltinPreset(6, shell);
        Settle();
        const float before = ConfigParamValues(appConfig)[r.param];
        ASSERT_TRUE(ClickOn(r.label, 0.2f));
        const float now = ConfigParamValues(appConfig)[r.param];
        EXPECT_NE(now, before);
        EXPECT_NEAR(r.engineValue(), now, 1e-3f);
        EXPECT_NEAR(Stored(r.param), now, 1e-3f);
        EXPECT_EQ(PresetDisplayName(shell) == "CUSTOM", r.custom);
    }
}

TEST_F(Columns, ThePresetPopupsKeepWhatTheyPromise) {
    Settle();
    MoveControl(shell, Param::Echo, 20.0f);
    ASSERT_TRUE(Open("##VocalPreset"));
    EXPECT_NE(FindItem("CUSTOM"), nullptr) << "hand-made settings are shown as such";
    ASSERT_TRUE(ClickOn("TỰ NHIÊN"));
    ASSERT_TRUE(Open("LƯU PRESET CỦA TÔI"));
    ASSERT_TRUE(ClickOn("##UserPresetName"));
    TypeText("Khác");
    ASSERT_TRUE(ClickOn("LƯU"));
    Frame();
    ASSERT_EQ(userPresets.size(), 1u);
    EXPECT_EQ(PresetDisplayName(shell), "★ Khác");
    EXPECT_EQ(FindItem("##UserPresetName"), nullptr) << "closed";

    const auto save = [&](const char* name) {
        Open("LƯU PRESET CỦA TÔI");
        std::strcpy(shell.newPresetName, name);
        ClickOn("LƯU");
        Frame();
    };
    Open("LƯU PRESET CỦA TÔI");
    EXPECT_STREQ(shell.newPresetName, "Khác") << "prefilled with the active preset's name";
    ClickOn("HỦY");
    MoveControl(shell, Param::Echo, 33.0f);
    save("Khác");  // the same name: replaced in place
    EXPECT_TRUE(userPresets.size() == 1 && userPresets[0].values[Param::Echo] == 33.0f);
    save(" | ");  // cleans to nothing: refused, the popup stays
    EXPECT_NE(FindItem("##UserPresetName"), nullptr);
    ClickOn("HỦY");
    save("Bolero Hòa");
    ASSERT_EQ(userPresets.size(), 2u);

    const auto rename = [&](const char* name) {
        Open("ĐỔI TÊN");
        std::strcpy(shell.renamePresetName, name);
        ClickOn("ĐỔI TÊN");
        Frame();
        return FindItem("##RenameUserPreset") == nullptr;
    };
    EXPECT_FALSE(rename("Khác")) << "another preset's name leaves the popup open";
    ClickOn("HỦY##Rename");
    EXPECT_TRUE(rename("  Bolero Hòa  "));
    EXPECT_EQ(userPresets[1].name, "Bolero Hòa");

    ASSERT_TRUE(Pick("##VocalPreset", "★ Khác"));
    const float echo = engine.echoLevel;
    Open("XÓA PRESET");
    ClickOn("XÓA");
    EXPECT_TRUE(userPresets.size() == 1 && userPresets[0].name == "Bolero Hòa" && engine.echoLevel == echo);
    EXPECT_EQ(PresetDisplayName(shell), "NAM DÀY ẤM");
}

TEST_F(Columns, BeatOnlyLeavesTheWholeVocalColumnOutOfReach) {
    engine.studioMode = 1;
    Settle();
    const AppConfig before = appConfig;
    for (const char* label : {"##VocalPreset", "LƯU PRESET CỦA TÔI", "AUTO-TUNE: DANG BAT", "Studio Natural",
                              "ÂM LƯỢNG MIC", "CHỈNH ECHO", "VANG / FX: ĐANG BẬT", "HARMONY 3D: TẮT", "ÂM LƯỢNG BÈ"}) {
        ASSERT_TRUE(ClickOn(label, 0.1f)) << label;
    }
    Frame();
    EXPECT_TRUE(FindItem("TỰ NHIÊN") == nullptr && FindItem("##UserPresetName") == nullptr) << "nothing opened";
    EXPECT_TRUE(ConfigParamValues(appConfig) == ConfigParamValues(before) && !std::filesystem::exists(ConfigPath()));
    EXPECT_TRUE(ClickOn("ÂM LƯỢNG BEAT", 0.1f) && std::filesystem::exists(ConfigPath())) << "the beat's own still work";
}

TEST_F(Columns, TheDevicePanelsPostTheirChangesAndFollowTheDriver) {
    appConfig.uiAudioDeviceOpen = appConfig.uiMicInputOpen = appConfig.uiLatencyOpen = true;
    appConfig.asioBufferFrames = 512;
    AddDriver("Focusrite USB ASIO", 1);
    AddDriver("ASIO4ALL v2");
    BringUp();
    engine.micChannelMode = 2;
    Settle();
    EXPECT_TRUE(engine.micChannelMode == 0 && StoredConfigValue("mic_channel") == "0") << "one input: port 1";
    ASSERT_TRUE(Pick("##BufferSizeCombo", "128 samples (~2.6ms - Tieu chuan)")) << "512 shows as 128";
    EXPECT_EQ(hostRequests.requestedBufferFrames.exchange(0), 128);

    Calls().clear();
    ASSERT_TRUE(ClickOn("KHÔI PHỤC ÂM THANH"));
    EXPECT_TRUE(Calls().empty()) << "not while the panel draws";
    Frame();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"stop", "close", "open 0 in 1 512", "start 0"}));
    const std::string said = ">>> [OK] DA KHOI PHUC AM THANH THANH CONG!";
    EXPECT_NE(FindItem(said), nullptr);
    for (int i = 0; i < 150; ++i) Frame();  // 2.5 s of the window's time
    EXPECT_EQ(FindItem(said), nullptr);

    // The K10 lock hides the bridge even while it runs.
    for (const bool k10 : {true, false}) {
        scripted.render.endpoints = {kSpeakers};
        if (k10) scripted.render.endpoints.push_back(kK10Output);
        RefreshOutputs();
        studioHost.currentDriverIndex = 1;
        engine.micBridgeEnabled = engine.micBridgeRunning = true;
        Frame();
        EXPECT_EQ(FindItem("##BridgeBlock") != nullptr, !k10) << k10;
    }
    // The bridged microphone: its channel kept, another endpoint posted and opened at the next frame.
    micBridge.bridgeDeviceChannels = 2;
    AsApp(RefreshInputEndpoints);
    ASSERT_TRUE(Pick("Nguon Mic##WasapiChannel", "CH2 / RIGHT"));
    EXPECT_EQ(StoredConfigValue("wasapi_mic_channel"), "2");
    ASSERT_TRUE(Pick("Windows Mic##GenericWasapiMic", kUsbMic.name));
    Frame();
    EXPECT_TRUE(IsMicBridgeRunning() && StoredConfigValue("wasapi_mic_input_id") == kUsbMic.id);

    studioHost.asioAvailable = false;  // a driver pick without Studio audio moves the list only
    studioHost.currentDriverIndex = 0;
    Calls().clear();
    ASSERT_TRUE(Pick("##AsioDeviceCombo", "ASIO4ALL v2"));
    Frame();
    EXPECT_TRUE(studioHost.currentDriverIndex == 1 && Calls().empty() && hostRequests.requestedAsioDevice == -1);
}

TEST_F(Columns, ToneControlMovesTheBeatsKeyWithinThreeSemitones) {
    InitBeatPitchShifter();
    Settle();
    ASSERT_TRUE(ClickOn("+  TANG"));
    ASSERT_TRUE(ClickOn("+  TANG"));
    const std::vector<float> tone = Sine(48000, 440.0, 0.5f);
    std::vector<float> stereo;
    for (float s : tone) stereo.insert(stereo.end(), {s, s});
    PutBeatFrames(stereo.data(), static_cast<uint32_t>(tone.size()));
    std::vector<float> out(stereo.size());
    const uint32_t got = ReceiveBeatFrames(out.data(), static_cast<uint32_t>(tone.size()));
    std::vector<float> left;
    for (uint32_t i = 0; i < got; ++i) left.push_back(out[2 * i]);
    EXPECT_NEAR(EstimateFrequency(left, got / 4, got), 493.88, 1.0) << "two semitones up";
    for (int i = 0; i < 2; ++i) ClickOn("+  TANG");
    EXPECT_EQ(shell.toneSemitones, 3.0f);
    ClickOn("0  GOC");
    EXPECT_EQ(BeatToneSemitones(), 0.0f);
    SetBeatTone(0.0f);
}

// The note the auto-tune hears, named for the singer and kept live while a voice is heard.
TEST(SungNote, IsNamedWithItsCentsAndAnimatedWhileHeard) {
    const std::pair<float, const char*> notes[] = {
        {69.0f, "A4 +0c"}, {60.12f, "C4 +12c"}, {70.6f, "B4 -40c"}, {35.5f, "C2 -50c"}, {-1.0f, "--"}};
    for (const auto& [note, text] : notes) EXPECT_EQ(SungNoteText(note), text) << note;
    InitEngine();
    EXPECT_EQ(SecondsToNextFrame(true), 0.25) << "at rest";
    engine.detectedNote = 64.0f;
    EXPECT_LE(SecondsToNextFrame(true), 0.1);
    engine.detectedNote = -1.0f;
}

// The library column: the typed song kept at the current key, its own filter, a song played at its key with its
// search or refused link, the key stored, the editor, and a row removed only after the list was drawn.
TEST_F(Columns, TheLibraryColumnKeepsPlaysAndEditsSongs) {
    songLibrary.songs.clear();
    for (int i = 0; i < 100; ++i) AddSong("old " + std::to_string(i), "", 0.0f);
    scripted.launcher.installed = {"/usr/bin/xdg-open"};
    StepBeatTone(shell, 2.0f);
    Settle();
    ASSERT_TRUE(ClickOn("##SongName"));
    TypeText("Mot coi di ve");
    ASSERT_TRUE(ClickOn("LƯU BÀI HÁT + TONE HIỆN TẠI"));
    const auto& songs = songLibrary.songs;
    EXPECT_TRUE(songs.size() == 100 && songs[0].tone == 2.0f && songs.back().name == "old 1" && !shell.songName[0]);
    std::strcpy(shell.libraryFilter, "COI");
    Frame();
    EXPECT_TRUE(FindItem("Mot coi di ve") && !FindItem("old 5")) << "the column's own filter";

    ResetBeatTone(shell);
    ASSERT_TRUE(ClickOn("Mot coi di ve"));
    EXPECT_EQ(shell.toneSemitones, 2.0f);
    const std::vector<std::string> search = {"xdg-open",
                                             "https://www.youtube.com/results?search_query=karaoke+Mot+coi+di+ve"};
    EXPECT_EQ(scripted.launcher.launched.back(), search);
    songLibrary.songs[0].tone = 5.0f;
    songLibrary.songs[0].url = "javascript:alert(1)";
    ClickOn("Mot coi di ve");
    EXPECT_TRUE(shell.toneSemitones == 3.0f && scripted.launcher.launched.size() == 1) << "+5 plays at +3, no script";

    StepBeatTone(shell, -4.0f);
    ClickOn("TONE");
    EXPECT_EQ(songs[0].tone, -1.0f);
    Open("SUA");
    std::strcpy(shell.editSongName, "Mot coi");
    ClickOn("LUU THAY DOI");
    EXPECT_TRUE(songs[0].name == "Mot coi" && songs[0].url == "javascript:alert(1)");
    ClickOn("X");
    EXPECT_TRUE(songs.size() == 99 && songs[0].name == "old 99");
    ResetBeatTone(shell);
}

// The recorder panel: a real take from the scripted stream read back, the running clock, a folder that cannot be
// made, and a take that lost frames told with what was kept instead of "saved".
TEST_F(Columns, TheRecorderPanelTellsWhatEachTakeBecame) {
    AddDriver("Focusrite USB ASIO");
    BringUp();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "sonavela-panel-takes";
    std::filesystem::remove_all(folder);
    std::strcpy(shell.recordFolder, folder.string().c_str());
    shell.recorderFieldsLoaded = true;
    Settle();
    for (const bool dropping : {false, true}) {
        ASSERT_TRUE(ClickOn("●  BẮT ĐẦU THU"));
        ASSERT_TRUE(RunScriptedDriverBlocks(200));
        if (dropping) engine.recordFramesDropped = 480;
        Frame();
        const std::string stop = "[ DANG THU 00:00:00 ] - BAM DE DUNG & LUU###StopRecBtn";
        ASSERT_TRUE(ClickOn(stop));
        Frame();
        EXPECT_EQ(FindItem("##SavedNotice") != nullptr, !dropping);
        EXPECT_EQ(shell.recordStatus.find("recorder bi mat 480 frame") != std::string::npos, dropping);
        const std::vector<short> pcm = ReadPcm16(recorder.lastSavedPath);
        EXPECT_EQ(pcm.size(), 200u * 128 * 2) << recorder.lastSavedPath;
    }
    ASSERT_TRUE(Open("OK##Notice")) << "the lost frames are told in a notice too";
    engine.recorderActive = true;
    recorder.dataBytes = 3725ull * 48000 * 4;
    Frame();
    EXPECT_NE(FindItem("[ DANG THU 01:02:05 ] - BAM DE DUNG & LUU###StopRecBtn"), nullptr);
    engine.recorderActive = false;
    recorder.dataBytes = 0;
    std::strcpy(shell.recordFolder, "/proc/no-takes-here");
    Frame();
    ClickOn("●  BẮT ĐẦU THU");
    EXPECT_EQ(shell.recordStatus.rfind("Khong the tao file. Kiem tra thu muc luu / quyen ghi.\n", 0), 0u);
    std::filesystem::remove_all(folder);
}

// The Mini Player's two popups, as the singer confirms or cancels them: a take ended on the way in, the window
// narrow and on top, the Mini output playing while the Studio stream waits stopped; on the way back the Mini output
// stopped first, the window where it stood, the Studio stream running again.
TEST_F(Columns, TheMiniPlayerComesAndGoesThroughItsPopups) {
    AddDriver("Focusrite USB ASIO");
    BringUp();
    scripted.render.endpoints = {kSpeakers, kHeadphones};
    RefreshOutputs();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "sonavela-mini-takes";
    ASSERT_TRUE(StartTake(0, folder.string(), "mini"));
    Settle();
    const auto confirm = [&](const char* open, const char* button) {
        EXPECT_TRUE(Open(open) && ClickOn(button)) << open << " " << button;
        Settle();
    };
    confirm("CHUYỂN SANG MINI PLAYER", " HUỶ BỎ ");
    EXPECT_TRUE(!miniPlayerActive && engine.recorderActive);
    confirm("CHUYỂN SANG MINI PLAYER", " ĐỒNG Ý CHUYỂN ");
    EXPECT_TRUE(miniPlayerActive && !engine.recorderActive && IsMiniOutputRunning() && IsDriverStreamOpen() &&
                !IsDriverStreamRunning());
    EXPECT_TRUE(scripted.window.onTop && scripted.window.placement.bounds.width == 460 &&
                scripted.window.placement.bounds.height == 840);

    ASSERT_TRUE(Pick("##MiniOutputCombo", kHeadphones.name));
    EXPECT_TRUE(miniOutput.openedId == kHeadphones.id && StoredConfigValue("mini_output_id") == kHeadphones.id);
    ToggleBeatDim(shell);
    ASSERT_TRUE(ClickOn("##MiniBeatVol", 0.6f));
    EXPECT_FALSE(shell.beatDimmed) << "a level set by hand ends the dim";
    ASSERT_TRUE(ClickOn("[x] Ghim"));
    EXPECT_FALSE(scripted.window.onTop);

    confirm("[<<] MO RONG STUDIO", " Ở LẠI MINI PLAYER ");
    EXPECT_TRUE(miniPlayerActive);
    confirm("[<<] MO RONG STUDIO", " XÁC NHẬN VỀ STUDIO ");
    EXPECT_TRUE(!miniPlayerActive && !IsMiniOutputRunning() && IsDriverStreamRunning() && !scripted.window.onTop);
    EXPECT_EQ(scripted.window.placement.bounds.width, 1240);
    confirm("CHUYỂN SANG MINI PLAYER", " ĐỒNG Ý CHUYỂN ");
    EXPECT_TRUE(scripted.window.onTop && FindItem("[ ] Tha")) << "on top again, whatever the pin said";
    std::filesystem::remove_all(folder);
}

// The diagnostics board and the report support reads, line by line, on the scripted machine: a running driver,
// then the bridged microphone, then a take that lost frames after a repaired config; copied and saved whole.
TEST_F(Columns, TheDiagnosticsBoardAndReportSayWhatSupportAsks) {
    Settle();
    ASSERT_TRUE(ClickOn("DIAGNOSTICS & SUPPORT"));
    Frame();
    for (const char* row : {"ASIO DEVICE [!] Khong co", "AUDIO ENGINE [OK] ASIO chua mo"}) {
        EXPECT_NE(FindItem(row), nullptr) << "without a driver: " << row;
    }
    for (const char* line : {"\r\nASIO available: NO\r\n", "\r\nStudio driver back-end: - | granted"}) {
        EXPECT_TRUE(Has(BuildDiagnosticReport(shell), line)) << line;
    }
    AddDriver("Focusrite USB ASIO", 2);
    BringUp();
    RefreshOutputs();
    shell.toneSemitones = -1.5f;
    songLibrary.songs.assign(3, SongEntry{});
    const auto reportLines = [&] {
        std::vector<std::string> lines;
        const std::string report = BuildDiagnosticReport(shell);
        for (size_t at = 0, end; (end = report.find("\r\n", at)) != std::string::npos; at = end + 2) {
            lines.push_back(report.substr(at, end - at));
        }
        return lines;
    };
    std::vector<std::string> expected = {"SONAVELA DIAGNOSTIC REPORT",
                                         "==========================",
                                         "Mode: STUDIO / VOCAL+BEAT / ASIO",
                                         "ASIO device: Focusrite USB ASIO",
                                         "ASIO available: YES",
                                         "ASIO stream open: YES",
                                         "ASIO stream running: YES",
                                         "Sample rate: 48000 Hz",
                                         "Buffer: 128 samples",
                                         "ASIO input channels: 2",
                                         "Mic source: Native ASIO",
                                         "Mic mode: 2",
                                         "Raw mic peak: 100%",
                                         "VB-CABLE ready: NO",
                                         "Raw beat peak: 0%",
                                         "Mini output: Speakers (High Definition Audio)",
                                         "Mini profile: Wired/HDMI Sync",
                                         "Recorder: IDLE",
                                         "Recorder dropped frames: 0",
                                         "ASIO status events: 0",
                                         "ASIO callback blocks: 0",
                                         "Config recovered at startup: NO",
                                         "Songs in library: 3",
                                         "User vocal presets: 0",
                                         "Current tone: -1.5 st",
                                         ""};
    // The callback's share of its period over the samples taken a second apart.
    SampleHealth();
    ASSERT_TRUE(RunScriptedDriverBlocks(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(1050));
    SampleHealth();
    const std::string withLoad = BuildDiagnosticReport(shell);
    const size_t at = withLoad.find("Callback load (last minute): mean ");
    double mean = 0.0;
    double worst = 0.0;
    ASSERT_TRUE(
        at != std::string::npos &&
        std::sscanf(withLoad.c_str() + at, "Callback load (last minute): mean %lf%% | worst %lf%%", &mean, &worst) == 2)
        << withLoad;
    EXPECT_TRUE(mean > 0 && worst >= mean) << mean << " " << worst;
    engine.callbackBlocks = 0;
    engine.micPeak = 1.25f;  // a clipped input reads full, not more
    std::vector<std::string> lines = reportLines();
    ASSERT_GT(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 26), expected);
    Frame();
    for (const char* row : {"ASIO DEVICE [OK] Focusrite USB ASIO", "AUDIO ENGINE [OK] ASIO dang chay",
                            "VB-CABLE [!] Chua tim thay / chua khoi tao", "RECORDER [OK] Khong dropped frame"}) {
        EXPECT_NE(FindItem(row), nullptr) << row;
    }

    engine.micBridgeEnabled = true;
    micBridge.deviceName = kUsbMic.name;
    micBridge.bridgeDeviceChannels = 2;
    micBridge.bridgeChannelMode = 1;
    micBridge.bridgePeakCh1 = 0.125f;
    engine.bridgeFramesCaptured = 4800;
    engine.bridgeUnderruns = 3;
    expected.insert(
        expected.begin() + 11,
        {"WASAPI mic: Microphone (USB Audio Device)", "WASAPI channels: 2 | selected mode: 1",
         "WASAPI peak CH1/CH2: 0.125 / 0", "Direct mic bridge buffered: 0 samples", "Direct mic captured samples: 4800",
         "Direct mic consumed samples: 0", "Direct mic underrun blocks: 3"});
    expected[10] = "Mic source: WASAPI fallback";
    lines = reportLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 33), expected);

    engine.recordFramesDropped = 12;
    configRecovered = true;
    recoveryNotice = "Config loi da duoc luu thanh sonavela_config.txt.recovered.1";
    Console("[WARN] the last thing that went wrong\n");
    Frame();
    for (const char* seen :
         {"RECORDER [!] 12 dropped frames", "CONFIG [!] Da tu recovery config", "CAU HINH DA DUOC TU PHUC HOI",
          "Config loi da duoc luu thanh sonavela_config.txt.recovered.1"}) {
        EXPECT_NE(FindItem(seen), nullptr) << seen;
    }
    const std::string report = BuildDiagnosticReport(shell);
    for (const char* part :
         {"\r\nRecorder dropped frames: 12\r\n", "\r\nConfig recovered at startup: YES\r\n",
          "\r\nSonavela 1.0.2 (build ", "\r\nSound server: scripted-server 1.0\r\n",
          "\r\nStudio driver back-end: scripted | granted buffer: 128 samples\r\n", "\r\nLast warnings:\r\n"}) {
        EXPECT_TRUE(Has(report, part)) << part << "\nin:\n" << report;
    }
    EXPECT_TRUE(report.ends_with("\r\n  [WARN] the last thing that went wrong\r\n")) << report;

    ASSERT_TRUE(ClickOn("COPY DIAGNOSTIC INFO"));
    EXPECT_EQ(ImGui::GetClipboardText(), BuildDiagnosticReport(shell));
    // Two saves never replace each other, nor a report already there under the name of this second or the next.
    const LocalTime t = LocalTimeNow();
    std::vector<std::string> kept;
    for (int later = 0; later < 2; ++later) {
        char name[64];
        std::snprintf(name, sizeof name, "Sonavela_Diagnostic_%04d%02d%02d_%02d%02d%02d.txt", t.year, t.month, t.day,
                      t.hour, t.minute, t.second + later);
        kept.push_back(DataFilePath(name));
        WriteFile(kept.back(), "earlier report");
    }
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ClickOn("SAVE DIAGNOSTIC REPORT"));
    for (const std::string& path : kept) EXPECT_EQ(ReadFile(path), "earlier report");
    std::vector<std::string> suffixes;  // the names were taken: both saves are numbered
    for (const auto& f : std::filesystem::directory_iterator(GetDataFolder())) {
        const std::string name = f.path().filename().string();
        if (name.starts_with("Sonavela_Diagnostic_") && ReadFile(f.path()) != "earlier report") {
            suffixes.push_back(name.substr(name.size() - 6));
        }
    }
    std::sort(suffixes.begin(), suffixes.end());
    EXPECT_EQ(suffixes, (std::vector<std::string>{"_2.txt", "_3.txt"}));
    EXPECT_EQ(shell.reportSaid.rfind("Da luu: ", 0), 0u) << shell.reportSaid;
    configRecovered = false;
}

// "KHOI PHUC MAC DINH" asks first: "HUY" changes nothing; the confirmation keeps the old file, brings every value
// back and opens the wizard at its first step, and leaves the personal presets and the songs alone.
TEST_F(Columns, TheResetDialogAsksFirstThenRestoresAndReopensTheWizard) {
    Settle();
    MoveControl(shell, Param::Echo, 20.0f);
    appConfig.setupComplete = true;
    SaveConfig();
    ASSERT_GE(SaveCurrentAsUserPreset("Cua toi", shell), 0);
    songLibrary.songs.assign(2, SongEntry{});
    const std::string presets = ReadFile(UserPresetsPath());
    const std::string before = ReadFile(ConfigPath());
    ASSERT_TRUE(ClickOn("SETTINGS & RECOVERY"));
    shell.wizard.setupWizardStep = 3;
    shell.wizard.wizardBraveOpened = shell.wizard.wizardBeatConfirmed = true;
    ASSERT_TRUE(ClickOn("CHAY LAI SETUP WIZARD"));
    Frame();
    EXPECT_TRUE(FindItem("Sonavela Setup Wizard") != nullptr && shell.wizard.setupWizardStep == 0 &&
                !shell.wizard.wizardBraveOpened && !shell.wizard.wizardBeatConfirmed)
        << "the wizard again from its first step, though setup was finished";
    ASSERT_TRUE(ClickOn("BO QUA"));
    for (const char* answer : {"HUY##ResetDialog", "XAC NHAN KHOI PHUC"}) {
        ASSERT_TRUE(ClickOn("KHOI PHUC MAC DINH"));
        ASSERT_TRUE(Open("Khoi phuc cai dat mac dinh")) << "the dialog opens on the next frame";
        ASSERT_TRUE(ClickOn(answer));
        Frame();
        EXPECT_EQ(FindItem("Khoi phuc cai dat mac dinh"), nullptr);
    }
    bool backedUp = false;
    for (const auto& f : std::filesystem::directory_iterator(GetDataFolder())) {
        backedUp |= f.path().string().starts_with(ConfigPath() + ".before_reset.") && ReadFile(f.path()) == before;
    }
    EXPECT_TRUE(backedUp) << "the config as it was is kept";
    EXPECT_TRUE(Stored(Param::Echo) != 20.0f && StoredConfigValue("setup_complete") == "0");
    EXPECT_TRUE(FindItem("Sonavela Setup Wizard") != nullptr && shell.wizard.setupWizardStep == 0);
    EXPECT_EQ(ReadFile(UserPresetsPath()), presets);
    EXPECT_EQ(songLibrary.songs.size(), 2u);
}

// The update section through each state of a check on the scripted network, and its download link handed to
// the browser only when it is a web address.
TEST_F(Columns, TheUpdateSectionShowsEachStateOfACheck) {
    scripted.launcher.installed = {"/usr/bin/xdg-open"};
    Settle();
    ASSERT_TRUE(ClickOn("SETTINGS & RECOVERY"));
    const auto check = [&](HttpsResult answer) {
        scripted.https.answers.push_back(std::move(answer));
        EXPECT_TRUE(ClickOn("KIEM TRA CAP NHAT"));
        EXPECT_TRUE(Eventually([] { return CopyUpdateResult().state != kUpdateChecking; }));
        Frame();
    };
    scripted.https.hold = true;
    ASSERT_TRUE(ClickOn("KIEM TRA CAP NHAT"));
    Frame();
    EXPECT_TRUE(FindItem("DANG KIEM TRA...") != nullptr && FindItem("KIEM TRA CAP NHAT") == nullptr)
        << "no second check while one runs";
    scripted.https.hold = false;
    ASSERT_TRUE(Eventually([] { return CopyUpdateResult().state == kUpdateError; }));
    Frame();

    check({true, 200, R"({"version":"1.0.2"})", 0, ""});
    EXPECT_NE(FindItem("Sonavela cua ban da la phien ban moi nhat."), nullptr);
    check({true, 200, R"({"version":"1.1.0","release_notes":"Sua loi","mandatory":true})", 0, ""});
    for (const char* seen : {"CO SONAVELA 1.1.0 MOI", "Sua loi", "Ban cap nhat nay duoc danh dau BAT BUOC.",
                             "latest.json chua co download_url."}) {
        EXPECT_NE(FindItem(seen), nullptr) << seen;
    }
    for (const char* url : {"https://brivanta.vn/tai/sonavela-1.1.0.deb", "javascript:alert(1)"}) {
        check({true, 200, std::string(R"({"version":"1.1.0","download_url":")") + url + "\"}", 0, ""});
        scripted.launcher.launched.clear();
        ASSERT_TRUE(ClickOn("TAI BAN CAP NHAT"));
        EXPECT_EQ(scripted.launcher.launched.size(), std::string(url).starts_with("https") ? 1u : 0u) << url;
    }
    EXPECT_TRUE(Open("OK##Notice")) << "the refused link is told";
    check({false, 0, "", 7, "loi curl 7: Couldn't connect to server"});
    for (const char* seen : {"Khong the kiem tra cap nhat.",
                             "Khong the ket noi den may chu cap nhat (loi curl 7: Couldn't connect to server)"}) {
        EXPECT_NE(FindItem(seen), nullptr) << seen;
    }
}
