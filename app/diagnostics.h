#pragma once
// What a person supporting the singer needs to see: the facts the status
// board shows, the run's health over the last minute, and the plain-text
// report that is copied or saved for support.

#include <string>

#include "app/shell_state.h"

// The values the board and the report share, read at once.
struct DiagnosticFacts {
    bool streamOpen = false;
    bool streamRunning = false;
    float micLevel = 0.0f;   // 0..1
    float beatLevel = 0.0f;  // 0..1
    uint64_t dropped = 0;    // frames the recorder lost
    std::string deviceText;  // the Studio driver, or "Khong co"
    std::string outputText;  // the Mini output, or "Khong co output ACTIVE"
};
DiagnosticFacts GatherDiagnosticFacts();

// Called every frame; takes one sample of the callback's load and the
// bridge's underruns a second and keeps the last minute of them.
void SampleHealth();

// The report, lines ending in CR LF: the fixed lines support knows, then the
// build, the machine and the last minute's health.
std::string BuildDiagnosticReport(const ShellState& shell);

// Writes the report atomically into the data folder under a name of the
// local time; a second save in the same second gets "_2", "_3", ... rather
// than replacing the first. `path` is where it went, `reason` why it failed.
bool SaveDiagnosticReport(const std::string& report, std::string& path, std::string& reason);
