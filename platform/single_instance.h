#pragma once
// One copy of the program per user session. Linux: a lock file in the
// session's runtime folder (else the given fallback folder), and a local
// socket beside it over which a second start asks the first to raise its
// window. Windows: a named mutex, and the second start raises the first's
// window itself.

#include <string>

enum class InstanceClaim { First, Second, Failed };

// First: this process holds the lock until ReleaseSingleInstance (or exit).
// Second: another copy holds it. Failed: no lock could be taken (reason
// says why); the program then runs as if it were the first.
InstanceClaim ClaimSingleInstance(const std::string& fallbackFolder, std::string& reason);
// Second copy: asks the first to raise its window, trying for up to
// timeoutMs; true when the first answered.
bool AskFirstInstanceToRaise(int timeoutMs);
// First copy, once per frame, never blocking: true when a second start
// asked to be raised since the last call.
bool TakeRaiseRequest();
void ReleaseSingleInstance();
