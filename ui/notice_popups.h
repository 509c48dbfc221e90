#pragma once
// The program's messages, drawn as modal popups in its own window (the
// caption as the title, a coloured mark for the icon, one OK button), so the
// window never blocks on a dialog and its meters keep moving.

// Takes the queued notices and shows the oldest; call inside the panel.
void DrawNoticePopups();
