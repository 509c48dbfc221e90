#pragma once
// The machine as support asks about it first.

#include <string>

struct SystemDescription {
    std::string system;  // the distribution's name and version
    std::string kernel;  // kernel name, release and machine
};

// Reads files and the kernel's name: cheap, but call it once.
SystemDescription DescribeSystem();
