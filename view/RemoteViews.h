// The list views and tree views of other processes, reached one item at a time: each
// item message points at a record in a block mirrored into the view's process
// (SharedMemT), laid out for that process's bitness. Walks over the items (the search
// step, the check-box commands) are written over the ListView / TreeView interface and
// know nothing of this; a batch reader served from inside the view's process is another
// implementation of the same interface.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "view/SharedMem.h"
#include "view/ViewAccess.h"
#include "view/ViewProcess.h"

// Opens a view for one operation, with the record layout of the view's process. Never
// null: a window that is gone gives a view that is Lost() from the start.
std::unique_ptr<ListView> OpenRemoteList(HWND view, ProcessMemoryApi& api = SystemProcessMemory());
std::unique_ptr<TreeView> OpenRemoteTree(HWND view, ProcessMemoryApi& api = SystemProcessMemory());

// The same with a chosen layout (Unknown: our own), for tools and tests that need to
// see what a wrong layout does.
std::unique_ptr<ListView> OpenRemoteList(HWND view, ProcessBits layout, ProcessMemoryApi& api);
std::unique_ptr<TreeView> OpenRemoteTree(HWND view, ProcessBits layout, ProcessMemoryApi& api);

// The ViewProvider of the running program.
class RemoteViewProvider : public ViewProvider {
 public:
  explicit RemoteViewProvider(ProcessMemoryApi& api = SystemProcessMemory()) : api_(api) {}
  ~RemoteViewProvider() override { UnlockUpdate(); }

  std::string ClassName(ViewHandle view) override;
  std::unique_ptr<ListView> OpenList(ViewHandle view) override;
  std::unique_ptr<TreeView> OpenTree(ViewHandle view) override;
  void LockUpdate(ViewHandle view) override;
  // Lets go only of a lock this provider took.
  void UnlockUpdate() override;

 private:
  ProcessMemoryApi& api_;
  bool locked_ = false;
};

inline HWND ToHwnd(ViewHandle view) { return reinterpret_cast<HWND>(view); }
inline ViewHandle ToViewHandle(HWND window) { return reinterpret_cast<ViewHandle>(window); }
