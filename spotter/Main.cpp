// Spotter.exe: finds files by romaji under a folder, with the running Kanasift's Migemo
// query service; also a command-line client of that service for scripts.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "settings/TaskTrayAppIniFile.h"
#include "spotter/CommandLineRun.h"
#include "spotter/ConsoleOutput.h"
#include "spotter/NameFilter.h"
#include "spotter/ShellActions.h"
#include "spotter/SpotterOptions.h"
#include "spotter/SpotterTexts.h"
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

// OLE for the window's lifetime: the clipboard, the folder picker and the shell's menus.
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool ok_;
};

// A command line that is not understood: told on standard error, or in a box when
// Spotter was started without one (from a shortcut or the tray menu).
int ReportUsageError(const std::wstring& error, const SpotterTexts& texts) {
  ConsoleOutput console(false);
  const std::wstring text = L"Spotter: " + error + L"\r\n\r\n" + SpotterUsage(texts);
  if (console.HasErrorStream()) {
    console.Error(text);
  } else {
    MessageBoxW(nullptr, text.c_str(), L"Spotter", MB_OK | MB_ICONWARNING);
  }
  return kExitUsage;
}

// The folder the window opens on: the one given, else the user's Documents.
std::wstring StartFolder(const SpotterOptions& options) {
  if (!options.folder.empty()) return FullFolderPath(options.folder);
  std::wstring documents = DocumentsFolder();
  return documents.empty() ? FullFolderPath(std::wstring()) : documents;
}

int RunWindow(HINSTANCE instance, const SpotterOptions& options, int showCommand, const SpotterTexts& texts) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  OleScope ole;

  TaskTrayAppIniFile settings;  // Kanasift.ini beside us, as Kanasift reads it
  SearchOptions searchOptions = SearchOptionsFrom(settings);
  if (options.partial) searchOptions.isUsePartialMatch = true;

  SpotterWindow window(StartFolder(options), searchOptions, texts);
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
    const SpotterTexts& texts = TextsForLanguage(GetUserDefaultUILanguage());
    SpotterOptions options;
    std::wstring error;
    if (!ParseSpotterOptions(Arguments(), options, error, texts)) return ReportUsageError(error, texts);
    if (options.mode != SpotterMode::Window) return RunCommandLine(options, texts);
    return RunWindow(instance, options, showCommand, texts);
  } catch (...) {
    return 1;  // out of memory
  }
}
