#pragma once
// The device choices the config keeps, as the device code sees them: the
// application hands them over before a device operation and keeps what the
// operation changed. The device code never writes the config itself.

#include <cstdint>
#include <string>

struct DeviceChoices {
    std::string miniOutputId;
    bool miniOutputBluetooth = false;
    std::string micInputId;
    int32_t micChannel = 0;  // 0 AUTO, 1 CH1, 2 CH2
    std::string driverName;
    int32_t bufferFrames = 128;
    // An operation chose something the user should find again at the next
    // start: the config is to be saved now, not only kept in memory.
    bool saveWanted = false;
};

inline DeviceChoices deviceChoices;
