// Every file and folder found under one root, kept compactly so that a million entries
// fit in memory and can be filtered fast. One writer (the listing) appends while readers
// (the filter threads, the window) read what has been published: entries and folders
// live in chunks that never move, so a published entry stays where it is, and a count
// published with release ordering tells readers how far they may read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// File attribute bits, with the values of Windows' FILE_ATTRIBUTE_* constants.
constexpr std::uint32_t kAttributeHidden = 0x2;
constexpr std::uint32_t kAttributeSystem = 0x4;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

enum EntryFlag : std::uint16_t {
  kEntryFolder = 0x1,
  kEntryHidden = 0x2,          // hidden, or inside a hidden folder
  kEntryProtected = 0x4,       // hidden and system (a protected system file), or inside one
  kEntryHalfWidthKana = 0x8,   // the name holds half-width katakana (folded before matching)
};

// Which hidden entries are shown, as Explorer decides: hidden ones only when hidden files
// are shown, protected system files only when those are shown too.
struct ShowOptions {
  bool hidden = false;
  bool protectedFiles = false;
};

inline bool IsShown(std::uint16_t flags, ShowOptions show) {
  if ((flags & kEntryHidden) && !show.hidden) return false;
  if ((flags & kEntryProtected) && !(show.hidden && show.protectedFiles)) return false;
  return true;
}

struct Entry {
  const wchar_t* name;      // NUL-terminated, in the index's name pool
  std::uint64_t size;       // bytes (0 for folders)
  std::uint64_t modified;   // last write, in FILETIME units (100 ns since 1601, UTC)
  std::uint32_t folder;     // the containing folder's id
  std::uint16_t nameLength;
  std::uint16_t flags;      // EntryFlag bits
};

constexpr std::uint32_t kRootFolder = 0;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;

struct FolderRecord {
  std::uint32_t entry;   // the folder's own entry; kNoEntry for the root
  std::uint32_t parent;  // a parent always has a smaller id; the root is its own parent
  std::uint16_t flags;   // its entry's flags, which its entries inherit
};

// An array that one thread appends to while others read its published part.
template <typename T>
class ChunkedArray {
 public:
  static constexpr std::uint32_t kChunkBits = 12;
  static constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
  static constexpr std::uint32_t kMaxChunks = 1u << 14;  // 67 million items

  ChunkedArray() : chunks_(std::make_unique<std::unique_ptr<T[]>[]>(kMaxChunks)) {}

  // Writer: false when the array is full.
  bool Append(const T& item) {
    const std::uint32_t chunk = size_ >> kChunkBits;
    if (chunk >= kMaxChunks) return false;
    if (!chunks_[chunk]) {
      chunks_[chunk] = std::make_unique<T[]>(kChunkSize);
      ++chunkCount_;
    }
    chunks_[chunk][size_ & (kChunkSize - 1)] = item;
    ++size_;
    return true;
  }
  // Writer: makes every appended item visible to readers.
  void Publish() { published_.store(size_, std::memory_order_release); }
  // Writer: its own view, published or not.
  std::uint32_t WrittenSize() const { return size_; }
  T& Written(std::uint32_t i) { return chunks_[i >> kChunkBits][i & (kChunkSize - 1)]; }

  // Readers.
  std::uint32_t Size() const { return published_.load(std::memory_order_acquire); }
  const T& operator[](std::uint32_t i) const { return chunks_[i >> kChunkBits][i & (kChunkSize - 1)]; }

  std::size_t AllocatedBytes() const {
    return kMaxChunks * sizeof(std::unique_ptr<T[]>) + std::size_t{chunkCount_} * kChunkSize * sizeof(T);
  }

 private:
  std::unique_ptr<std::unique_ptr<T[]>[]> chunks_;
  std::uint32_t size_ = 0;
  std::uint32_t chunkCount_ = 0;
  std::atomic<std::uint32_t> published_{0};
};

// A name's sort key: keys compared byte by byte give the display order of the names
// (Explorer's order on Windows: the user's locale, digits as numbers, without case).
using SortKeyFunction = void (*)(const wchar_t* name, std::string& key);

class EntryIndex {
 public:
  // `root` is a full path without a trailing separator (a drive's root keeps its own).
  explicit EntryIndex(std::wstring root);
  EntryIndex(const EntryIndex&) = delete;
  EntryIndex& operator=(const EntryIndex&) = delete;

  const std::wstring& root() const { return root_; }

  // --- Writer (the listing) ---
  // A folder whose entry has been added; its id, or kNoEntry when the index is full.
  std::uint32_t AddFolder(std::uint32_t entry, std::uint32_t parent);
  // An entry of `folder`; false when the index is full.
  bool AddEntry(std::wstring_view name, std::uint32_t folder, std::uint16_t flags, std::uint64_t size,
                std::uint64_t modified);
  std::uint32_t WrittenEntryCount() const { return entries_.WrittenSize(); }
  // Makes what was added visible to readers (folders before the entries that use them).
  void Publish();
  // The listing has ended (completely or not).
  void MarkListed();
  // Computes the display order of names and folders and makes it visible (after
  // MarkListed). Gives up, leaving the index unordered, once `cancel` is set.
  void ComputeOrder(SortKeyFunction sortKey, const std::atomic<bool>* cancel = nullptr);

  // --- Readers ---
  std::uint32_t EntryCount() const { return entries_.Size(); }
  const Entry& entry(std::uint32_t i) const { return entries_[i]; }
  std::uint32_t FolderCount() const { return folders_.Size(); }
  const FolderRecord& folder(std::uint32_t id) const { return folders_[id]; }
  bool listed() const { return listed_.load(std::memory_order_acquire); }
  // The order is known: NameRank and FolderRank may be read.
  bool ordered() const { return ordered_.load(std::memory_order_acquire); }
  // Position of an entry among all entries by name, and of a folder in tree order.
  std::uint32_t NameRank(std::uint32_t entry) const { return nameRank_[entry]; }
  std::uint32_t FolderRank(std::uint32_t folder) const { return folderRank_[folder]; }

  // The folder's path below the root ("" for the root), joined with backslashes.
  std::wstring RelativeFolderPath(std::uint32_t folder) const;
  // Full paths.
  std::wstring FolderPath(std::uint32_t folder) const;
  std::wstring FullPath(std::uint32_t entry) const;
  // `path` with `name` appended after one backslash.
  static std::wstring Join(const std::wstring& path, std::wstring_view name);

  // Bytes held by the index (entries, folders, names, order), as last published.
  std::size_t MemoryBytes() const { return memoryBytes_.load(std::memory_order_acquire); }

 private:
  std::size_t CountMemory() const;

  std::wstring root_;
  ChunkedArray<Entry> entries_;
  ChunkedArray<FolderRecord> folders_;
  // The name pool: blocks that never move; only the writer touches the list.
  std::vector<std::unique_ptr<wchar_t[]>> nameBlocks_;
  std::size_t nameBlockBytes_ = 0;
  std::size_t nameBlockUsed_ = 0;
  std::size_t nameBlockSize_ = 0;
  std::vector<std::uint32_t> nameRank_;
  std::vector<std::uint32_t> folderRank_;
  std::atomic<bool> listed_{false};
  std::atomic<bool> ordered_{false};
  std::atomic<std::size_t> memoryBytes_{0};
};
