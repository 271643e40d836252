// Lists every file and folder under a root into an EntryIndex, folder by folder (the
// folders nearest the root first), publishing after each folder so that the filter sees
// entries while the walk goes on. The system's folder reading is behind DirectoryReader.
//
// Links: a folder that is a reparse point (a symbolic link, a junction, a mount point)
// is followed unless it leads to one of its own ancestors (a loop) or to a folder that
// an earlier link already led to; so the walk always ends and lists nothing twice
// through links. Folders that cannot be read are counted, not reported one by one.
// Hidden and protected system entries are listed with flags (their contents inherit
// them); a folder that is not shown is not walked into (a hidden .git or cache folder
// can hold more than the rest of the tree).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "spotter/EntryIndex.h"

struct FolderIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FolderIdentity& other) const { return volume == other.volume && file == other.file; }
};

struct FolderIdentityHash {
  std::size_t operator()(const FolderIdentity& id) const {
    return std::hash<std::uint64_t>()(id.file * 31 + id.volume);
  }
};

class DirectoryReader {
 public:
  struct Item {
    const wchar_t* name;
    std::size_t nameLength;
    std::uint32_t attributes;  // kAttribute* bits
    std::uint64_t size;
    std::uint64_t modified;
  };
  virtual ~DirectoryReader() = default;
  // Calls `each` for every entry of the folder at `path` but "." and "..", until it
  // returns false. False, with the system's error code, when the folder cannot be read.
  virtual bool Read(const std::wstring& path, const std::function<bool(const Item&)>& each,
                    std::uint32_t& error) = 0;
  // The identity of the folder that `path` leads to, links followed.
  virtual bool Identify(const std::wstring& path, FolderIdentity& identity) = 0;
};

// What a walk has done so far; readable from other threads while it runs.
struct WalkCounts {
  std::atomic<std::uint32_t> folders{0};          // folders read
  std::atomic<std::uint32_t> files{0};            // files listed
  std::atomic<std::uint32_t> unreadable{0};       // folders that could not be read
  std::atomic<std::uint32_t> skippedLinks{0};     // links not followed (loops, repeats, dangling)
};

class FolderWalk {
 public:
  // `published` (may be empty) is called on the walking thread after each publication.
  // Folders that `walkInto` would not show are listed but not read.
  FolderWalk(EntryIndex& index, DirectoryReader& reader, std::function<void()> published = {},
             ShowOptions walkInto = ShowOptions{true, true});

  // Walks the whole tree unless `cancel` is set meanwhile. False when the root itself
  // could not be read (rootError() tells why). Marks the index listed either way.
  bool Run(const std::atomic<bool>& cancel);

  const WalkCounts& counts() const { return counts_; }
  std::uint32_t rootError() const { return rootError_; }
  // The index ran full: the listing is incomplete.
  bool truncated() const { return truncated_; }

 private:
  bool ShouldFollow(std::uint32_t parentFolder, const std::wstring& path);
  bool IdentityOf(std::uint32_t folder, FolderIdentity& identity);

  EntryIndex& index_;
  DirectoryReader& reader_;
  std::function<void()> published_;
  ShowOptions walkInto_;
  WalkCounts counts_;
  std::uint32_t rootError_ = 0;
  bool truncated_ = false;
  std::unordered_map<std::uint32_t, FolderIdentity> identities_;  // folders asked so far
  std::unordered_set<FolderIdentity, FolderIdentityHash> followed_;  // where links led
};
