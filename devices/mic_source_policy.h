#pragma once
// Where the vocal comes from on the open driver: its own inputs, or on the
// generic driver the Direct Mic Bridge from an ordinary recording endpoint.

#include <string>

void ApplyMicSourcePolicy(const std::string& driverName);
