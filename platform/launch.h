#pragma once
// Starting other programs: never through a shell, the arguments as a vector,
// the child left to run on its own (it is reaped, never waited for).

#include <string>
#include <vector>

// The full path of a program found on PATH, or "" when there is none.
std::string FindProgramOnPath(const std::string& name);
// False, with the reason, when the program could not be started.
bool LaunchProgram(const std::vector<std::string>& arguments, std::string& reason);
