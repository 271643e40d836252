// Starts tools/viewhost (a stand-in Explorer window) in a process of its own, waits until
// its views are filled and hands out their window handles; kills it at the end.
//
//   ViewhostProcess host;
//   ASSERT_TRUE(host.Start({"--list", TestDataPath("viewhost-names.txt"), "--checkboxes"}))
//       << host.Error();
//   auto list = OpenRemoteList(host.List());
//
// Arguments are UTF-8; see `viewhost.exe --help` for the options.
#pragma once

#include <windows.h>

#include "platform/Win32Handles.h"

#include <map>
#include <string>
#include <vector>

// Paths in Windows form (Z:\...), ready for viewhost's command line.
std::string ViewhostPath();              // this build's viewhost.exe
std::string OtherBitnessViewhostPath();  // the other bitness's, "" when it is not built
std::string OtherBitnessViewhostCandidate();  // where that one is looked for
// Why a viewhost of the other bitness cannot run here ("" when it can): not built, or a
// 32-bit one on a machine that cannot execute 32-bit programs.
std::string OtherBitnessViewhostMissing();
std::string TestDataPath(const std::string& fileName);  // a file in tests/data
std::string ToWindowsPath(const std::string& unixPath);
bool FileExists(const std::string& windowsPath);
// False when the harness found that this machine cannot execute 32-bit programs
// (KANASIFT_RUN32=0, set by scripts/wine-env.sh); a test of a 32-bit process skips then.
bool ThirtyTwoBitProgramsRun();
// UTF-8 text in the ANSI code page, as a view of this system holds it.
std::string Utf8ToAnsi(const std::string& utf8);
// The names of a tests/data file in the ANSI code page, one per non-empty line.
std::vector<std::string> DataFileNames(const std::string& fileName);

class ViewhostProcess {
 public:
  ViewhostProcess() = default;
  ~ViewhostProcess() { Stop(); }
  ViewhostProcess(const ViewhostProcess&) = delete;
  ViewhostProcess& operator=(const ViewhostProcess&) = delete;

  // False (see Error()) when viewhost did not come up within `timeoutMs`.
  bool Start(const std::vector<std::string>& args, const std::string& exe = ViewhostPath(),
             DWORD timeoutMs = 30000);
  // Ends the process at once and waits for it; its window handles go stale.
  void Kill();
  // Asks the window to close, then kills what is left.
  void Stop();

  bool Running() const;
  HWND Main() const { return main_; }
  HWND List() const { return list_; }
  HWND Tree() const { return tree_; }
  DWORD Pid() const { return pid_; }
  int Bits() const { return bits_; }
  HANDLE Process() const { return process_.Get(); }
  const std::string& Error() const { return error_; }
  // Every "key=value" line viewhost recorded.
  const std::map<std::string, std::string>& Facts() const { return facts_; }
  // Makes viewhost's window thread sleep (its views stop answering) for `ms`.
  bool Hang(DWORD ms) const;

 private:
  UniqueKernelHandle process_;
  DWORD pid_ = 0;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
  HWND tree_ = nullptr;
  int bits_ = 0;
  std::string handlesFile_;
  std::string error_;
  std::map<std::string, std::string> facts_;
};
