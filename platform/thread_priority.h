#pragma once
// Asks the system to run the calling thread ahead of ordinary work, as an
// audio thread must; false (and no change) when the system refuses.

bool RaiseThisThreadPriority();
