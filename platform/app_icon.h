#pragma once
// The program's icon, drawn rather than loaded: a microphone head over a
// cyan ring on the window's dark blue. Each window system wraps it its own way.

#include <cstdint>
#include <vector>

// size × size pixels, RGBA bytes, top row first; transparent outside the ring.
std::vector<uint8_t> DrawAppIcon(int size);
