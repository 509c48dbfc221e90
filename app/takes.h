#pragma once
// Takes as the singer starts them, and how a failed one is told.

#include <cstdint>
#include <string>

// A take of the mix (0) or the vocal (1) into the folder, or into the
// default recordings folder when none is given.
bool StartTake(int32_t mode, const std::string& folder, const std::string& name);
// "Loi ghi file: <the system's reason>" and the like; empty when the last
// take did not fail.
std::string RecordingFailureText();
// hh:mm:ss.t, as the recorder panel counts a take.
std::string TakeLength(uint64_t frames);
