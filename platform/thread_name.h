#pragma once
// Names the calling thread as the system's tools (top, debuggers) show it.
// Names longer than the system allows are cut.

void NameThisThread(const char* name);
