#pragma once
// What the Setup Wizard does beyond drawing: the choices of its steps, the
// virtual cable made on the sound server, the browser's playback moved onto
// it, and the end of the wizard. UI thread only.

#include <cstdint>
#include <string>

// The cable as the beat capture looks for it.
inline constexpr const char* kCableId = "CABLE_Input";
inline constexpr const char* kCableName = "CABLE Input (VB-Audio Virtual Cable)";

// "HOAN TAT" (completed) or "BO QUA": setup marked complete and saved;
// completing also records the wizard's version, the driver and the input.
void FinishSetup(bool completed);

// A driver picked in the wizard: the list and the stored name move now; the
// switch is posted for the next frame unless the Mini Player plays.
void ChooseWizardDriver(int index);
// The sound card input: 0 port 1, 1 port 2, 2 both. Not saved here.
void ChooseWizardMicChannel(int32_t mode);
// 64, 128 or 256 frames: stored, and posted when the Studio stream can take it.
void ChooseWizardBuffer(int32_t frames);
// The Mini Player's output by its index in the outputs, and its profile.
void ChooseWizardMiniOutput(int index);
void ChooseWizardMiniProfile(int32_t mode);

// The beat capture opened again on the cable (the beat pump paused).
bool ReopenBeatCapture();
// Makes the virtual cable on the sound server when no output is the cable
// yet, then opens the capture on it. `said` tells what happened either way.
bool CreateVirtualCable(std::string& said);
// Whether a playback stream's program is a web browser.
bool LooksLikeBrowser(const std::string& application, const std::string& binary);
// Moves every browser playback to the cable. `said` names the streams moved,
// or why none was.
bool RouteBrowserToCable(std::string& said);
// The lines that keep the cable across restarts of the sound server.
std::string KeepCableHint();
