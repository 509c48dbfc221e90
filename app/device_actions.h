#pragma once
// The device operations as the application runs them: the config's device
// choices are handed to the device code first, what it chose is kept (and
// saved when it asks), and its failures become notices in the user's words.
// Each pauses the beat pump, which shares the capture, the shifter and the
// beat ring with them.

#include <string>

#include "devices/beat_pump.h"
#include "persistence/app_config.h"

// The config's choices into the device code's block.
void HandDeviceChoices();
// The device code's choices back into the config; saved when it asked.
void KeepDeviceChoices();

template <typename Operation>
auto RunDeviceOperation(Operation operation) {
    const BeatPumpPause pause;
    HandDeviceChoices();
    auto result = operation();
    KeepDeviceChoices();
    return result;
}

// Start-up: the driver list, the choice and the first open of the Studio
// stream; a driver that would not open is told. `studioHost.asioAvailable`
// then says whether Studio audio runs.
void StartStudioAudio();
// Into the Mini Player and back; a Studio stream that cannot start again is told.
void EnterMiniPlayer();
void ReturnToStudio();
// The whole change of player, as the mode popups confirm it. Into the Mini
// Player: a take is ended, the Studio stream stopped (kept open), the beat's
// HQ profile set and the chosen output opened (a failure is told; the Mini
// Player shows anyway). Back: the Mini output stopped before the Studio
// stream starts, so the beat ring never has two readers.
bool SwitchToMiniPlayer();
void SwitchToStudio();
// The Mini Player's output, by its index in the list: opened, kept and
// saved; on failure the one before is opened again, and when that fails
// too the user is told.
bool ChooseMiniOutput(int index);
// "CHON K10 OUTPUT": the K10 in the list, opened.
bool ChooseK10Output();
// "CHE DO OUTPUT": 0 wired / HDMI, 1 Bluetooth; a profile the output refuses
// is undone and told.
bool ChooseMiniProfile(int32_t mode);
// The outputs listed again, with the chosen one kept.
void RefreshOutputs();

// "KHÔI PHỤC ÂM THANH": the Studio stream reopened on the current devices
// through the input rule and the microphone policy.
bool RestoreStudioAudio();
// A driver picked in the list: the list moves now, the switch is the next
// frame's (and is dropped there when Studio audio does not run).
void ChooseDriver(int index);
// The sound card inputs' channel: 0 input 1, 1 input 2, 2 both. Kept and saved.
void ChooseMicChannel(int32_t mode);
// The bridged microphone: another recording endpoint by its index in the
// list, saved as the user's choice, and the bridge restarted on it.
bool ChooseBridgeMic(int index);
// 0 AUTO, 1 CH1, 2 CH2; kept and saved.
void ChooseBridgeChannel(int32_t mode);
// "REFRESH WINDOWS MIC": the microphone policy run again for the current driver.
void RefreshBridgeMic();
