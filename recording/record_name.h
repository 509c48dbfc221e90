#pragma once
// Names of recorded takes: the user's name made safe as one file name, then
// "<name>_Mix_YYYYMMDD_hhmmss.wav" (or _Vocal_), with a counter before
// ".wav" when that name is already taken.

#include <cstdint>
#include <string>

#include "platform/local_time.h"

// Control characters dropped, \ / : * ? " < > | turned into "_", trailing
// spaces and dots removed; "Sonavela" when nothing is left.
std::string SanitizeRecordName(const std::string& name);

// The file name for attempt 1, 2, ...; the name part is cut between UTF-8
// characters so the whole name stays within what file systems accept.
std::string RecordFileName(const std::string& name, int32_t mode, const LocalTime& time, uint32_t attempt);

// The folder and the file name with one separator between them.
std::string JoinRecordPath(const std::string& folder, const std::string& fileName);
