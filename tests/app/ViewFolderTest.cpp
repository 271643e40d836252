// The folder that the tray's Spotter command finds for a view: from the title or the
// address bar of the view's window, never from a text that is not a full path; and the
// command line that hands it to Spotter.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/ViewFolder.h"

namespace {

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  std::wstring folder = path;
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// A top-level window with a list view, and optionally an address edit, as a file
// manager has them.
struct FileWindow {
  FileWindow(const std::wstring& title, const std::wstring& address) {
    top = CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    if (!address.empty()) {
      CreateWindowExW(0, L"EDIT", address.c_str(), WS_CHILD, 0, 0, 200, 20, top, nullptr, nullptr, nullptr);
    }
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 20, 200, 100, top, nullptr, nullptr, nullptr);
  }
  ~FileWindow() { DestroyWindow(top); }
  HWND top = nullptr;
  HWND list = nullptr;
};

TEST(ViewFolder, AFullPathInTheTitleOrTheAddressBarIsTheFolder) {
  const std::wstring temp = TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(FolderOfView(FileWindow(temp, L"").list), temp);
  EXPECT_EQ(FolderOfView(FileWindow(temp + L" - ファイラー", L"").list), temp);
  EXPECT_EQ(FolderOfView(FileWindow(L"Temp", L"アドレス: " + temp).list), temp);
  // A folder's name alone is no path, even where the current directory holds it.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(temp.c_str());
  CreateDirectoryW(L"kanasift-view-folder", nullptr);
  EXPECT_EQ(FolderOfView(FileWindow(L"kanasift-view-folder", L"kanasift-view-folder").list), L"");
  RemoveDirectoryW(L"kanasift-view-folder");
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(FolderOfView(FileWindow(temp + L"\\no such folder", L"").list), L"");
  EXPECT_EQ(FolderOfView(nullptr), L"");
}

TEST(ViewFolder, TheQuotedFolderComesBackAsItIs) {
  for (const std::wstring folder : {L"C:\\", L"C:\\Program Files\\書類", L"\\\\server\\share\\", L"C:\\a \\\\b"}) {
    const std::wstring line = L"Spotter.exe " + QuoteArgument(folder);
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(args, nullptr);
    EXPECT_EQ(count, 2);
    if (count == 2) {
      EXPECT_EQ(std::wstring(args[1]), folder);
    }
    LocalFree(args);
  }
}

// Edits that take 200 ms for each WM_GETTEXT: a file manager that is slow, not hung.
LRESULT CALLBACK SlowText(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_GETTEXT) {
    Sleep(200);
    return 0;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

TEST(ViewFolder, ASlowWindowIsReadWithinOneSecondInAll) {
  std::atomic<HWND> list{nullptr};
  std::atomic<bool> done{false};
  std::thread owner([&] {
    HWND top = CreateWindowExW(0, L"STATIC", L"slow", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 30; ++i) {
      HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 200, 20, top, nullptr, nullptr, nullptr);
      SetWindowSubclass(edit, SlowText, 1, 0);
    }
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 20, 200, 100, top, nullptr, nullptr, nullptr);
    MSG msg;
    while (!done) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    DestroyWindow(top);
  });
  while (!list) Sleep(1);
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(FolderOfView(list), L"");
  // Thirty controls at 200 ms each would take six seconds.
  EXPECT_LT(GetTickCount64() - start, 2500u);
  done = true;
  owner.join();
}

}  // namespace
