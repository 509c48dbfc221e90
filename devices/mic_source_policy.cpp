// Where the vocal comes from on the open driver: its own inputs, or on the
// generic driver the Direct Mic Bridge from an ordinary recording endpoint.

#include "devices/audio_endpoints.h"
#include "devices/console.h"
#include "devices/mic_bridge.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"

namespace {
void BridgeOff() {
    BridgeSourceOff();
}
}  // namespace

void ApplyMicSourcePolicy(const std::string& driverName) {
    if (engine.studioMode.load() == 1) {
        BridgeOff();
        return;
    }
    if (IsAsio4AllWithK10(driverName)) {
        BridgeOff();
        Console("[APP-P3.5] K10 compatibility mode: Studio Mic DISABLED; output remains available.\n");
        return;
    }
    if (!IsAsio4AllName(driverName)) {
        BridgeOff();  // the driver's own inputs feed the vocal chain
        return;
    }
    engine.micBridgeEnabled = false;
    engine.micBridgeRunning = false;
    const bool ok = StartSelectedMicBridge();
    engine.micBridgeRunning = ok;
    engine.micBridgeEnabled = ok;
    Console(ok ? "[APP-P2.6] GENERIC WASAPI MIC DIRECT BRIDGE: " + micBridge.deviceName + " -> Vocal Bus\n"
               : "[APP-P2.6] No usable Windows recording endpoint; Native ASIO path remains available.\n");
}
