// Reading folders with the system, for the folder walk: FindFirstFileExW with large
// fetches, long paths through the "\\?\" form, and folder identities from the file
// system (volume serial and file index, links followed). FolderLister runs a whole walk
// on a thread of its own and then puts the names in Explorer's order.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "spotter/EntryIndex.h"
#include "spotter/FolderWalk.h"

class Win32DirectoryReader : public DirectoryReader {
 public:
  bool Read(const std::wstring& path, const std::function<bool(const Item&)>& each, std::uint32_t& error) override;
  bool Identify(const std::wstring& path, FolderIdentity& identity) override;
};

// Explorer's order of names (StrCmpLogicalW: the user's locale, numbers by value, letters
// without case), as sort keys.
void ExplorerSortKey(const wchar_t* name, std::string& key);

class FolderLister {
 public:
  // Starts listing `root` (a full path), into the folders that `show` shows. `changed`
  // runs on the listing thread after each publication; `finished` once at the end, after
  // the order was computed.
  FolderLister(const std::wstring& root, ShowOptions show, std::function<void()> changed,
               std::function<void()> finished);
  // Stops the walk and waits for the thread.
  ~FolderLister();
  FolderLister(const FolderLister&) = delete;
  FolderLister& operator=(const FolderLister&) = delete;

  const std::shared_ptr<EntryIndex>& index() const { return index_; }
  const WalkCounts& counts() const { return walk_.counts(); }
  // Valid once the index is listed.
  bool rootReadable() const { return rootReadable_.load(std::memory_order_acquire); }
  std::uint32_t rootError() const { return walk_.rootError(); }
  bool truncated() const { return walk_.truncated(); }

 private:
  std::shared_ptr<EntryIndex> index_;
  Win32DirectoryReader reader_;
  FolderWalk walk_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> rootReadable_{true};
  std::thread thread_;
};
