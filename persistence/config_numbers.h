#pragma once
// Numbers of the kept files, read in the classic "C" format whatever the
// locale: leading blanks and a '+' are skipped, the longest numeric prefix is
// taken and the rest ignored ("12.5dB" is 12.5).

#include <cstdint>
#include <string_view>

// Fails (sets `invalid`, returns `fallback`) without a number, or for one
// outside the float range, NaN or infinity included.
float ParseFloatOr(std::string_view text, float fallback, bool& invalid);
// Base 10; fails without digits or outside int32. "2.9" reads as 2.
int32_t ParseIntOr(std::string_view text, int32_t fallback, bool& invalid);
