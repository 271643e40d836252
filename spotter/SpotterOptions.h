// Spotter's command line.
//
//   Spotter.exe [/partial] [FOLDER]                 the window, searching everything under
//                                                   FOLDER (default: the user's Documents)
//   Spotter.exe /query WORD [/utf8]                 prints Kanasift's Migemo expansion of WORD
//   Spotter.exe /find WORD [FOLDER] [/partial] [/utf8]   prints the full path of everything
//                                                   under FOLDER (default: the current
//                                                   directory) that matches WORD
//   Spotter.exe /?                                  prints the usage
//
// Switches may start with '/' or '-' and are compared without regard to case.
#pragma once

#include <string>
#include <vector>

#include "spotter/SpotterTexts.h"

enum class SpotterMode { Window, Query, Find, Help };

struct SpotterOptions {
  SpotterMode mode = SpotterMode::Window;
  std::wstring word;    // /query and /find
  std::wstring folder;  // the window and /find; empty: Documents (window), the current directory (/find)
  bool partial = false; // partial matching on from the start (else Kanasift.ini decides)
  bool utf8 = false;    // output to a file or pipe in UTF-8 instead of the ANSI code page
};

// Exit codes of the command-line forms.
enum SpotterExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,         // the command line was not understood
  kExitNoKanasift = 2,    // no Kanasift is running
  kExitNoDictionary = 3,  // Kanasift could not open its dictionary
  kExitNoAnswer = 4,      // Kanasift did not answer in time
  kExitNoFolder = 5,      // the folder could not be read
};

// `args` without the program's name. False with a message in `error` when the command
// line is not understood.
bool ParseSpotterOptions(const std::vector<std::wstring>& args, SpotterOptions& options, std::wstring& error,
                         const SpotterTexts& texts);

// The usage text, with the version.
std::wstring SpotterUsage(const SpotterTexts& texts);
