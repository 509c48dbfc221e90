#pragma once
// The look every panel shares: the style applied once at start-up, the
// accent colours the panels use by name, and the colour a frame is cleared to.

#include <imgui.h>

inline const ImVec4 kAmber{0.95f, 0.70f, 0.20f, 1.0f};   // beat headers, BEAT ONLY notices
inline const ImVec4 kMuted{0.55f, 0.61f, 0.69f, 1.0f};   // subtitles, "off" badges
inline const ImVec4 kGreen{0.20f, 0.78f, 0.48f, 1.0f};   // "on" states, card titles
inline const ImVec4 kViolet{0.66f, 0.42f, 0.92f, 1.0f};  // harmony
inline const ImVec4 kCyan{0.10f, 0.72f, 0.92f, 1.0f};    // vocal headers, Studio Mode, preset badge
inline const ImVec4 kRed{0.92f, 0.28f, 0.30f, 1.0f};     // recorder header, "REC" badge
inline const ImVec4 kClearColor{0.10f, 0.11f, 0.13f, 1.0f};

// The metrics and colours into the current context's style; the others keep
// the library's dark defaults.
void ApplyTheme();
