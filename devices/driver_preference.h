#pragma once
// The automatic driver choice: dedicated interfaces first, the generic
// driver and software bridges last.

#include <string>

#include "devices/studio_host.h"

// Rank for the automatic choice; a generic driver ranks as the generic one
// whatever its name says.
int DriverPreference(const std::string& driverName);
int DriverRank(const AsioDriverEntry& entry);
// A listed driver that reaches the card through the sound server.
bool IsListedGenericDriver(const std::string& driverName);
