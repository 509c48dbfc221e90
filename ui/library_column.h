#pragma once
// The third Studio column: the song library with its own filter, and the
// song editor the library's "SUA" buttons open.

#include "app/shell_state.h"

// Inside the column's scrolling child.
void DrawLibraryColumn(ShellState& shell);
// "SUA": the song's name and link into the editor, which opens at the next draw.
void OpenSongEditor(ShellState& shell, int32_t index);
// Every frame, after the list that may open it.
void DrawSongEditor(ShellState& shell);
