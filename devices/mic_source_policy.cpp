#include "devices/mic_source_policy.h"

#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "engine/engine_params.h"
#include "platform/console.h"

void ApplyMicSourcePolicy(const std::string& driverName) {
    if (engine.studioMode.load() == 1) {
        BridgeSourceOff();
        return;
    }
    RefreshOutputEndpoints();  // a K10 plugged in since the last look counts
    if (IsAsio4AllWithK10(driverName)) {
        BridgeSourceOff();
        Console("[APP-P3.5] K10 compatibility mode: Studio Mic DISABLED; output remains available.\n");
        return;
    }
    if (!IsAsio4AllName(driverName)) {
        BridgeSourceOff();  // the driver's own inputs feed the vocal chain
        return;
    }
    BridgeSourceOff();
    const bool ok = StartSelectedMicBridge();
    engine.micBridgeRunning = ok;
    engine.micBridgeEnabled = ok;
    Console(ok ? "[APP-P2.6] GENERIC WASAPI MIC DIRECT BRIDGE: " + micBridge.deviceName + " -> Vocal Bus\n"
               : "[APP-P2.6] No usable Windows recording endpoint; Native ASIO path remains available.\n");
}
