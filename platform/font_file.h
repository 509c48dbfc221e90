#pragma once
// The window's font file: DejaVu Sans, found through the desktop's font
// configuration or at its standard path. Empty, with the reason, when missing.

#include <string>

std::string FindUiFontFile(std::string& reason);
