#pragma once
// What the window holds beside the engine and the config: the mirror of each
// control in the config's units, the preset selection, the beat's tone and
// the Setup Wizard's place. Owned by the entry function; the panels and the
// actions of this layer get it by reference. UI thread only.

#include <cstdint>
#include <string>

#include "engine/parameters.h"
#include "platform/app_window.h"

struct SetupWizardView {
    int32_t setupWizardStep = 0;       // 0..5
    bool wizardBraveOpened = false;    // unlocks the browser's routing
    bool wizardBeatConfirmed = false;  // a beat was seen on the cable; latched
    bool outputsListed = false;        // the outputs were listed since the Mini output step was shown
    // What the last cable creation and the last routing said, for the window.
    std::string cableSaid;
    bool cableDone = false;
    std::string routeSaid;
    bool routeDone = false;
};

struct ShellState {
    bool running = true;
    // One per control, in the table's units. The switches' truth is the
    // engine (a shortcut flips them there); their entries follow it when the
    // config is synchronised.
    ParamValues sliders = DefaultParamValues();
    int32_t builtinPreset = 6;  // 0..12, or 13 for CUSTOM
    int32_t userPreset = -1;    // index into the user presets, -1 for none
    float toneSemitones = 0.0f;
    // "DIM (MC)": the beat lowered under the MC's voice; the stored
    // beat_volume stays as it was.
    bool beatDimmed = false;
    float beatVolumeBeforeDuck = 0.32f;
    bool setupWizardPending = false;
    // The Studio columns start at their tops after start-up and after each
    // return from the Mini Player.
    bool columnsToTop = true;
    // Whether each shortcut's key was down in the previous frame.
    bool shortcutKeyDown[6] = {};
    SetupWizardView wizard;
    // The preset popups: the typed names, and the press that opens each on
    // the next draw.
    char newPresetName[96] = {};
    char renamePresetName[96] = {};
    bool openSavePopup = false;
    bool openRenamePopup = false;
    bool openDeletePopup = false;
    // "KHÔI PHỤC ÂM THANH": 1 done, -1 failed, 0 nothing to show; shown until
    // the deadline in the window's time (seconds).
    int32_t restoreResult = 0;
    double restoreShownUntil = 0.0;
    // The buffer list's choice, taken from asio_buffer_frames once per run
    // (and again after a reset).
    int32_t latencyChoice = -1;
    // The song library's fields, shared by the library column and the Mini
    // Player; the column's own filter; the song editor's song (-1 none) and
    // fields, and the press that opens it.
    char songName[128] = {};
    char songUrl[256] = {};
    char libraryFilter[128] = {};
    bool libraryFavouritesOnly = false;
    int32_t editedSong = -1;
    char editSongName[128] = {};
    char editSongUrl[256] = {};
    bool openSongEditor = false;
    // The recorder panel: its fields, taken from the config on the first
    // draw (and again after a reset); what the last start or stop said, and
    // the saved notice until its time (the window's, in seconds) is up.
    bool recorderFieldsLoaded = false;
    char recordName[128] = {};
    char recordFolder[512] = {};
    int32_t recordChoice = 0;  // 0 REC MIX, 1 REC VOCAL
    std::string recordStatus;
    std::string savedNotice;
    double savedNoticeUntil = 0.0;
    // The Mini Player: its karaoke search, its own library filter, the pin,
    // and where the Studio window stood before it.
    char quickSearch[128] = {};
    char miniFilter[128] = {};
    bool miniFavouritesOnly = false;
    bool miniPinned = true;
    WindowPlacement savedPlacement;
    // "KHOI PHUC MAC DINH" opens its confirmation on the next frame.
    bool resetDialogPending = false;
    // What the last "SAVE DIAGNOSTIC REPORT" did, shown until the window's time passes it.
    std::string reportSaid;
    bool reportSaved = false;
    double reportSaidUntil = 0.0;
};
