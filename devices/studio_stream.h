#pragma once
// Opening and reopening the Studio stream with the input rule: inputs only
// in VOCAL + BEAT, never on the generic driver while a K10 is plugged in.

#include <cstdint>
#include <string>

// Sets or clears the input parameters and engine.inputChannels.
void BuildStudioInput(uint32_t driverId, const std::string& driverName, uint32_t driverInputs);
// Stop, close and reopen on studioOutputParams.deviceId with the input rule.
bool ReopenStudioStream();
// Opens with the current parameters and starts; a stream that opened but
// did not start is closed again, so a retry can open it.
bool OpenAndStartStudio(std::string& reason);
// Stop and close, each only when needed.
void CloseStudioStream();
