// Wine's own explorer.exe as the view's owner: its file list (a SysListView32 below
// ExplorerWClass / ExplorerBrowserControl / SHELLDLL_DefView) read cross-process, with
// the Japanese names of a folder filled here. Both bitnesses of explorer.exe where the
// system has them.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/RemoteViews.h"
#include "view/WindowPath.h"

namespace {

const std::vector<std::wstring> kFiles = {L"会社.txt", L"会社概要.doc", L"かいしゃ.txt", L"カイシャ.txt",
                                          L"ｶｲｼｬ.txt", L"ﾃｽﾄﾌｧｲﾙ.txt", L"readme.md"};

std::string Ansi(const std::wstring& wide) {
  int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &out[0], length, nullptr, nullptr);
  return out;
}

BOOL CALLBACK CollectExplorer(HWND window, LPARAM param) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) == "ExplorerWClass") {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    *reinterpret_cast<std::string*>(param) += "pid " + std::to_string(pid) + "; ";
  }
  return TRUE;
}

std::string ExplorerWindows() {
  std::string out;
  EnumWindows(CollectExplorer, reinterpret_cast<LPARAM>(&out));
  return out;
}

class ExplorerTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    // A folder of its own for every explorer: one that was open in an earlier explorer
    // makes the next explorer hand the folder over and exit.
    wchar_t name[80];
    wsprintfW(name, L"C:\\users\\Public\\kanasift-view-%lu-%d", GetCurrentProcessId(), GetParam() ? 2 : 1);
    folder_ = name;
    CreateDirectoryW(folder_.c_str(), nullptr);
    for (const auto& file : kFiles) {
      HANDLE h = CreateFileW((folder_ + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      CloseHandle(h);
    }
  }
  void TearDown() override {
    if (process_) {
      if (topWindow_) PostMessageW(topWindow_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.Get(), 3000) != WAIT_OBJECT_0) TerminateProcess(process_.Get(), 0);
      WaitForSingleObject(process_.Get(), 5000);
    }
    for (const auto& file : kFiles) DeleteFileW((folder_ + L"\\" + file).c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  // The explorer.exe of our own bitness, or of the other one.
  std::wstring ExplorerPath() const {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring dir = windows;
    if (!GetParam()) return L"explorer.exe";
    return dir + (sizeof(void*) == 8 ? L"\\syswow64\\explorer.exe" : L"\\system32\\explorer.exe");
  }

  std::wstring folder_;
  UniqueKernelHandle process_;
  HWND topWindow_ = nullptr;
};

TEST_P(ExplorerTest, ReadsTheJapaneseNamesOfItsFileList) {
  std::wstring exe = ExplorerPath();
  if (GetParam() && sizeof(void*) == 8 && !ThirtyTwoBitProgramsRun()) {
    GTEST_SKIP() << "this machine cannot execute 32-bit programs: no 32-bit explorer.exe";
  }
  if (GetParam() && sizeof(void*) == 8 && GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no explorer.exe of the other bitness here";
  }
  std::wstring commandLine = L"\"" + exe + L"\" /root," + folder_;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // A 32-bit process sees the 64-bit system folder only with the redirection off.
  PVOID redirection = nullptr;
  const bool redirected = GetParam() && sizeof(void*) == 4 && Wow64DisableWow64FsRedirection(&redirection);
  const BOOL created =
      CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
  if (redirected) Wow64RevertWow64FsRedirection(redirection);
  ASSERT_TRUE(created);
  CloseHandle(info.hThread);
  process_.Reset(info.hProcess);

  const std::string top = "ExplorerWClass#" + std::to_string(info.dwProcessId);
  HWND listView = nullptr;
  std::vector<std::string> names;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 30000) {
    listView = FindWindowByClassPath(top + "/ExplorerBrowserControl/SHELLDLL_DefView/SysListView32");
    if (listView) {
      auto list = OpenRemoteList(listView);
      names.clear();
      int count = list->ItemCount();
      if (count >= static_cast<int>(kFiles.size()) && list->OpenRecord()) {
        std::string text;
        for (int i = 0; i < count; ++i) {
          if (list->ItemText(i, text)) names.push_back(text);
        }
        break;
      }
    }
    Sleep(100);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process_.Get(), &exitCode);
  ASSERT_NE(listView, nullptr) << "explorer's file list did not appear (pid " << info.dwProcessId << ", exit code "
                               << exitCode << "); explorer windows: " << ExplorerWindows();
  HWND topWindow = GetAncestor(listView, GA_ROOT);
  topWindow_ = topWindow;
  std::cout << "explorer.exe (" << (ViewProcessBits(listView) == ProcessBits::Bits64 ? 64 : 32)
            << "-bit) window classes:\n" << DescribeWindowClasses(topWindow);
  EXPECT_EQ(ViewProcessBits(listView), GetParam() == (sizeof(void*) == 8) ? ProcessBits::Bits32 : ProcessBits::Bits64);

  for (const auto& file : kFiles) {
    EXPECT_NE(std::find(names.begin(), names.end(), Ansi(file)), names.end()) << Ansi(file);
  }
  EXPECT_NE(std::find(names.begin(), names.end(), std::string("\x89\xEF\x8E\xD0.txt")), names.end());

  HWND treeView = FindWindowByClassPath(top + "/ExplorerBrowserControl/NamespaceTreeControl/SysTreeView32");
  ASSERT_NE(treeView, nullptr);
  auto tree = OpenRemoteTree(treeView);
  ASSERT_TRUE(tree->OpenRecord());
  std::vector<std::string> treeNames;
  for (TreeItem item = tree->NextItem(TreeRelation::Root, 0); item && treeNames.size() < 200;
       item = tree->NextItem(TreeRelation::NextVisible, item)) {
    std::string text;
    if (tree->ItemText(item, text)) treeNames.push_back(text);
  }
  EXPECT_NE(std::find(treeNames.begin(), treeNames.end(), Ansi(L"デスクトップ")), treeNames.end());
}

INSTANTIATE_TEST_SUITE_P(Explorer, ExplorerTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "OtherBitness" : "SameBitness");
                         });

}  // namespace
