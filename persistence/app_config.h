#pragma once
// All user settings, kept in "sonavela_config.txt" as key=value lines in
// the order of the fields below. Read once at start-up, where every value is
// checked and repaired; rewritten whole after every change.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/parameters.h"
#include "persistence/kept_file.h"

// The user parameters' defaults and ranges come from the parameter table.
struct AppConfig {
    int32_t micChannel = 1;  // 0..2; saved from the engine's live micChannelMode
    float vocalVolume = ParamDefault(Param::VocalVolume);
    float vocalBalance = ParamDefault(Param::VocalBalance);
    float vocalBody = ParamDefault(Param::VocalBody);
    float vocalSmooth = ParamDefault(Param::VocalSmooth);
    float vocalWarmth = ParamDefault(Param::VocalWarmth);
    float vocalBodyPlus = ParamDefault(Param::VocalBodyPlus);
    float vocalOpto2a = ParamDefault(Param::VocalOpto2a);
    float vocalAir = ParamDefault(Param::VocalAir);
    float reverb = ParamDefault(Param::Reverb);
    float echo = ParamDefault(Param::Echo);
    float harmonyVolume = ParamDefault(Param::HarmonyVolume);
    float beatVolume = ParamDefault(Param::BeatVolume);
    float masterGlue = ParamDefault(Param::MasterGlue);
    float masterOutputDb = ParamDefault(Param::MasterOutputDb);
    bool harmonyEnabled = ParamDefault(Param::HarmonyEnabled) != 0.0f;
    bool fxEnabled = ParamDefault(Param::FxEnabled) != 0.0f;
    int32_t tuneMode = static_cast<int32_t>(ParamDefault(Param::TuneMode));
    bool tuneEnabled = ParamDefault(Param::TuneEnabled) != 0.0f;
    std::string miniOutputId;
    int32_t miniOutputMode = 0;  // 1 "Bluetooth Stable", 0 "Wired/HDMI Sync"
    std::string wasapiMicInputId;
    int32_t wasapiMicChannel = 0;
    std::string recordFolder;  // DefaultAppConfig() fills in the default recordings folder
    std::string recordName = "Sonavela";
    int32_t recordMode = 0;
    int32_t vocalPreset = 6;  // 0..12 built in, 13 a user preset or the custom state
    std::string activeUserPreset;
    bool uiAudioDeviceOpen = false;
    bool uiMicInputOpen = false;
    bool uiLatencyOpen = false;
    bool uiSongLibraryOpen = true;
    bool setupComplete = false;
    int32_t setupVersion = 1;
    std::string asioDeviceName;
    int32_t asioBufferFrames = 128;
    int32_t studioMode = 0;  // 0 VOCAL + BEAT, 1 BEAT ONLY
    // Lines of keys this version does not know (a later version's), written
    // back as they were read so that going back and forth loses nothing.
    std::string unknownLines;

    bool operator==(const AppConfig&) const = default;
};

extern AppConfig appConfig;
// Set by LoadConfig when the file held a value it could not read; the file
// as it was is then kept beside it as ".recovered.<date>.bak".
extern bool configRecovered;
extern std::string recoveryNotice;
// What LoadConfig found on disk; a file it could not read whole is kept
// under a backup name before the first save over it.
extern KeptFile configFile;

// The defaults, with the default recordings folder (computed on the call,
// so the data folder is never looked up before main).
AppConfig DefaultAppConfig();

// Starts from the defaults and reads the file over them; a missing or
// unreadable file leaves the defaults (configFile tells which). Ends by storing
// mic_channel and studio_mode into the engine.
void LoadConfig();
// Writes the whole file atomically; false (and the old file kept) when it
// cannot be written. While the saver runs it hands the saver a copy instead
// and returns true at once.
bool SaveConfig();
// Writes on the caller's thread, in place of any copy the saver still holds:
// for a caller that reports the outcome.
bool SaveConfigNow();
// Writes a copy the saver still holds, on the caller's thread; nothing when
// none waits.
void FlushConfigSaves();
// The saver's thread, "sonavela-save", keeps the disk off the window's
// thread: copies handed to it within a quarter of a second share one write.
// A failed write is said once on the console and tried again at the next
// save. Stop writes what is pending and joins; saves are synchronous again.
void StartConfigSaver();
void StopConfigSaver();

// The user parameters as the config holds them, and back.
ParamValues ConfigParamValues(const AppConfig& config);
void SetConfigParamValues(AppConfig& config, const ParamValues& values);
void SetConfigParam(AppConfig& config, Param p, float value);

// The file's text into `config`; false when some line could not be read
// (the rest still applied). Values out of range are clamped silently.
bool ReadConfigText(std::string_view text, AppConfig& config);
// Every key, one "key=value\n" line each. Control characters in text values
// become spaces, so each value reads back as written.
std::string WriteConfigText(const AppConfig& config);
