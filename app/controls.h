#pragma once
// The controls of the sound as the window moves them, and the hand-overs
// between the config, the window's mirrors and the engine.

#include "app/shell_state.h"
#include "persistence/app_config.h"

// Every value a control mirrors, from the config into the mirrors and the
// engine; the preset selection as the config holds it, no user preset yet.
void PushConfigToEngine(const AppConfig& config, ShellState& shell);
// The start-up hand-over, which also starts the Body+ and opto stages afresh.
void ApplyConfigToEngine(const AppConfig& config, ShellState& shell);
// The sound a preset holds (the levels and switches marked kInUserPreset),
// as the engine and the mirrors have it now, into the config. Not saved.
void SyncConfigFromEngine(ShellState& shell);
// A control moved by hand: "CUSTOM" where the table says so, then the
// mirror, the engine and the config key, saved at once. Returns the value
// now in effect (clamped to the control's range).
float MoveControl(ShellState& shell, Param p, float value);

// A panel's open state as the config keeps it for the next start; saved
// only when it changed.
void KeepPanelOpen(bool AppConfig::*flag, bool open);

// "DIM (MC)" on or off: the beat at 22 % of what it was (0.32 when it was
// nearly silent), then back. The beat slider's mirror follows; the stored
// beat_volume does not.
void ToggleBeatDim(ShellState& shell);
// Tone Control by whole semitones within -3..+3 (0 resets); the beat pump
// takes the new tone. Returns it.
float StepBeatTone(ShellState& shell, float semitones);
float ResetBeatTone(ShellState& shell);
