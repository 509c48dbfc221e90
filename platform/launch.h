#pragma once
// Starting other programs: never through a shell, the arguments as a vector,
// the child left to run on its own (it is reaped, never waited for).

#include <string>
#include <vector>

// The full path of a program found on PATH (a name holding "/" is checked as
// it is), or "" when there is none.
std::string FindProgramOnPath(const std::string& name);
// arguments[0] is looked up as above. False, with the reason, when the
// program could not be started.
bool LaunchProgram(const std::vector<std::string>& arguments, std::string& reason);
