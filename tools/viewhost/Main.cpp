// viewhost.exe: a stand-in Explorer window for tests and benchmarks. It shows a list
// view and a tree view filled from UTF-8 files (or generated names), records its window
// handles in a file, and can be told to stop answering for a while. It is built on
// Win32 alone, so that it behaves like a foreign process to the program under test.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "HostWindow.h"
#include "Names.h"
#include "Options.h"

namespace {

void Report(const std::wstring& text) {
  std::string utf8;
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length > 1) {
    utf8.resize(static_cast<std::size_t>(length - 1));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], length, nullptr, nullptr);
  }
  DWORD written = 0;
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Writes the file in one step (a temporary file renamed), so a reader never sees half.
bool WriteWhole(const std::wstring& path, const std::string& content) {
  std::wstring temporary = path + L".tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
            written == content.size();
  CloseHandle(file);
  return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int Run(const Options& options) {
  std::vector<std::string> names;
  if (options.count >= 0) {
    names = GeneratedNames(options.count, options.seed);
  } else if (!options.listFile.empty()) {
    std::vector<std::wstring> lines;
    if (!ReadUtf8Lines(options.listFile, lines)) {
      Report(L"viewhost: cannot read " + options.listFile + L"\n");
      return 2;
    }
    names = ListNames(lines);
  }
  std::vector<TreeLine> treeLines;
  if (!options.treeFile.empty()) {
    std::vector<std::wstring> lines;
    if (!ReadUtf8Lines(options.treeFile, lines)) {
      Report(L"viewhost: cannot read " + options.treeFile + L"\n");
      return 2;
    }
    treeLines = TreeLines(lines);
  }

  HostWindows windows;
  std::wstring error;
  if (!CreateHostWindows(options, windows, error)) {
    Report(L"viewhost: " + error + L"\n");
    return 3;
  }
  if (options.shellFolder.empty()) {
    FillList(windows.list, names, options);
    FillTree(windows.tree, treeLines, options);
  }
  SetForegroundWindow(windows.main);
  if (options.focusView == L"list") SetFocus(windows.list);
  if (options.focusView == L"tree") SetFocus(windows.tree);

  // The handles go to the file when one is named, else to standard output.
  std::string handles = DescribeHandles(windows, options);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (options.handlesFile.empty() && out && out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(out, handles.data(), static_cast<DWORD>(handles.size()), &written, nullptr);
  }
  if (!options.handlesFile.empty() && !WriteWhole(options.handlesFile, handles)) {
    Report(L"viewhost: cannot write " + options.handlesFile + L"\n");
    DestroyWindow(windows.main);
    return 4;
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 2;
  Options options;
  std::wstring error;
  bool parsed = ParseOptions(argc, argv, options, error);
  LocalFree(argv);
  if (!parsed) {
    Report(L"viewhost: " + error + L"\n" + kUsage);
    return 2;
  }
  if (options.help) {
    Report(kUsage);
    return 0;
  }
  return Run(options);
}
