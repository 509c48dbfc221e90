#pragma once
// The third Studio column: the song library with its own filter, and the
// song editor the library's "SUA" buttons open.

#include "app/shell_state.h"

// Inside the column's scrolling child.
void DrawLibraryColumn(ShellState& shell);
// How a panel lists the songs: its own filter, its row text and button
// widths, and the id its rows are drawn under.
struct SongListLook {
    const char* region;
    const char* filter;
    bool favouritesOnly;
    const char* rowFormat;  // name, then stored tone
    float toneWidth, editWidth, removeWidth;
    float selectableSlack;  // the row text leaves this much beside it, after the buttons' own spacing
    int idBase;
    bool tooltips;
    float minHeight;
    float bottomGap;
};
// The list in its bordered child; a row's change is made once the list has been drawn.
void DrawSongList(ShellState& shell, const SongListLook& look);
// "SUA": the song's name and link into the editor, which opens at the next draw.
void OpenSongEditor(ShellState& shell, int32_t index);
// Every frame, after the list that may open it.
void DrawSongEditor(ShellState& shell);
