#pragma once
// The program's start-up around its window, and its shutdown after it. A
// missing cable, sound server or driver is no error: the window opens all the
// same and the Setup Wizard guides the user.

#include "app/shell_state.h"

// Before the window: the kept files, the device lists, the banner, the beat
// capture and its shifter, the engine with the stored values, the Studio
// stream, the console's key lines, the beat pump and the config saver.
void StartUpAudio(ShellState& shell);
// After the window: the preset selection and whether the Setup Wizard opens.
void FinishStartUp(ShellState& shell);
// The config saved, the recorder, bridge, Mini output, Studio stream, beat
// pump and capture stopped, every thread joined.
void ShutDownAudio();
