// The commands of viewprobe.exe.
#pragma once

#include <string>
#include <vector>

#include "view/ViewProcess.h"

extern const char kProbeUsage[];

// Runs one command (its name first); 0 done, 1 view failure, 2 bad command line.
int RunProbeCommand(const std::vector<std::string>& command, ProcessBits layout);
