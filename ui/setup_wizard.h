#pragma once
// The Setup Wizard: a modal of six steps over the things the program cannot
// do alone (browser, virtual cable, sound card, microphone, routing, Mini
// output). It shows what is ready and what is missing and never blocks.

#include "app/shell_state.h"

// Once per frame after the main panel, inside it: opens the popup when
// `setupWizardPending` asks, then draws it while it is open.
void DrawSetupWizard(ShellState& shell);
