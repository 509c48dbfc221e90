#include <algorithm>

#include "devices/driver_preference.h"

namespace {
constexpr int kGenericRank = 5;

bool Has(const std::string& name, const char* word) { return name.find(word) != std::string::npos; }
}  // namespace

int DriverPreference(const std::string& driverName) {
    if (Has(driverName, "Focusrite")) return 10;
    for (const char* maker : {"Behringer", "UMC", "Yamaha", "Steinberg"}) {
        if (Has(driverName, maker)) return 9;
    }
    if (Has(driverName, "ASIO4ALL") || Has(driverName, "FL Studio ASIO")) return kGenericRank;
    if (Has(driverName, "ASIO Link")) return 2;
    return 7;
}

int DriverRank(const AsioDriverEntry& entry) {
    return entry.generic ? kGenericRank : DriverPreference(entry.name);
}

bool IsListedGenericDriver(const std::string& driverName) {
    const std::vector<AsioDriverEntry>& list = studioHost.asioDrivers;
    return std::any_of(list.begin(), list.end(),
                       [&](const AsioDriverEntry& e) { return e.generic && e.name == driverName; });
}
