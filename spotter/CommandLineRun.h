// The command-line forms of Spotter: /query, /find and the usage. Each returns the
// process's exit code (SpotterExitCode).
#pragma once

#include "spotter/SpotterOptions.h"

int RunCommandLine(const SpotterOptions& options, const SpotterTexts& texts);
