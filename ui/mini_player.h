#pragma once
// The Mini Player: the window's narrow, topmost face that plays only the
// key-shifted beat to an ordinary output, and the two changes of face.

#include "app/shell_state.h"

void DrawMiniPlayerBody(ShellState& shell);
// " ĐỒNG Ý CHUYỂN ": the Studio placement kept, the window made 460 x 840
// and topmost, the audio handed to the Mini output.
void EnterMiniPlayerWindow(ShellState& shell);
// " XÁC NHẬN VỀ STUDIO ": the Mini output stopped, the window as it stood,
// the Studio stream started.
void ReturnToStudioWindow(ShellState& shell);
