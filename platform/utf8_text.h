#pragma once
// Names from devices and users are UTF-8; a cut must never split a character.

#include <cstddef>
#include <string>
#include <string_view>

// At most maxBytes of text, never ending inside a multi-byte character.
std::string TruncateUtf8(std::string_view text, size_t maxBytes);
