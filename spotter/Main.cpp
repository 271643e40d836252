// Spotter.exe: finds the files of a folder by romaji with the running Kanasift's Migemo
// query service; also a command-line client of that service for scripts.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "settings/TaskTrayAppIniFile.h"
#include "spotter/CommandLineRun.h"
#include "spotter/ConsoleOutput.h"
#include "spotter/FolderListing.h"
#include "spotter/NameFilter.h"
#include "spotter/SpotterOptions.h"
#include "spotter/SpotterWindow.h"

namespace {

std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A command line that is not understood: told on standard error, or in a box when
// Spotter was started without one (from a shortcut or the tray menu).
int ReportUsageError(const std::string& error) {
  ConsoleOutput console(false);
  const std::wstring text = L"Spotter: " + Widen(error) + L"\r\n\r\n" + Widen(SpotterUsage());
  if (console.HasErrorStream()) {
    console.Error(text);
  } else {
    MessageBoxW(nullptr, text.c_str(), L"Spotter", MB_OK | MB_ICONWARNING);
  }
  return kExitUsage;
}

int RunWindow(HINSTANCE instance, const SpotterOptions& options, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  TaskTrayAppIniFile settings;  // Kanasift.ini beside us, as Kanasift reads it
  SearchOptions searchOptions = SearchOptionsFrom(settings);
  if (options.partial) searchOptions.isUsePartialMatch = true;

  SpotterWindow window(FullFolderPath(options.folder), searchOptions);
  if (!window.Create(instance, showCommand)) return 1;
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window.PreTranslateMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  try {
    SpotterOptions options;
    std::string error;
    if (!ParseSpotterOptions(Arguments(), options, error)) return ReportUsageError(error);
    if (options.mode != SpotterMode::Window) return RunCommandLine(options);
    return RunWindow(instance, options, showCommand);
  } catch (...) {
    return 1;  // out of memory
  }
}
