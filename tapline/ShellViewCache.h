// The names of shell views, kept by the library in the view's process between Kanasift's
// requests. Reading a display name through the shell is slow in some shells (100-160 us
// per item under Wine), and names do not change while a user types: a request compares
// every item's ID with the kept one and reads the names of items that are new or changed
// (a renamed item has another ID even when the count stays the same), and drops
// everything when the view shows another folder. Taking every ID is itself 1-2 us an
// item under Wine; for a little while after it (the keys of one word) the kept IDs are
// trusted while the folder shows no sign of change (ShellViewServe.cpp).
//
// A few views per process, each in a slot that one thread holds while it serves a
// request (taken with a compare-and-swap, never waited for: a slot in use is simply not
// available). Everything lives in a private heap of the library, destroyed as a whole
// when the library is unloaded, so nothing is left behind in the view's process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tapline {

struct CachedItem {
  std::uint64_t hash = 0;          // of the ID bytes
  std::uint8_t* block = nullptr;   // the ID bytes (with their terminator), then the name
  std::uint32_t idBytes = 0;
  std::uint16_t nameBytes = 0;
  std::uint8_t nameKnown = 0;      // the name was read (it may be empty)
  std::uint8_t state = 0;          // selected / focused bits found by the last read
  std::int32_t index = -1;         // the view's own item index; -1 when not known
};

struct ViewCache {
  volatile LONG busy = 0;
  HWND defView = nullptr;
  std::uint64_t folderHash = 0;
  std::uint32_t generation = 0;  // changes when the kept items start afresh
  std::uint32_t count = 0;
  CachedItem* items = nullptr;
  bool viewOrder = false;  // the items are in the view's own order (else its item order)
  std::uint32_t selectedCount = 0;
  std::uint32_t firstSelected = 0xFFFFFFFFu;
  std::uint32_t flags = 0;  // viewread::kShell* bits of the answer
  DWORD lastUse = 0;
  // When every ID was last taken (GetTickCount), and what the folder looked like then:
  // its file system path (empty for a virtual folder), its last write time, and whether
  // that write lay far enough back for the view to have shown it.
  DWORD idsTakenAt = 0;
  bool idsTaken = false;
  bool folderSettled = false;
  FILETIME folderWritten = {0, 0};
  wchar_t folderPath[MAX_PATH] = {};
};

// The slot of `defView`, or a free one, or the one least recently used; taken for the
// calling thread until ReleaseCache. Null when every slot is in use right now.
ViewCache* AcquireCache(HWND defView);
void ReleaseCache(ViewCache* cache);

// Drops every item and gives the slot a new generation.
void ResetCache(ViewCache& cache);

// Takes the view's items anew, place by place. An item whose ID is kept, at its place or
// at another one (the view was sorted, an item was added before it), keeps its name; the
// kept items not taken again are dropped by Commit.
class CacheRenewal {
 public:
  CacheRenewal(ViewCache& cache, std::uint32_t count);
  ~CacheRenewal();
  CacheRenewal(const CacheRenewal&) = delete;
  CacheRenewal& operator=(const CacheRenewal&) = delete;
  // False without memory: then nothing changes.
  bool Ok() const { return fresh_ != nullptr; }
  // The item at place `at` (below the count) has this ID (null: none the view told).
  void Put(std::uint32_t at, const void* id, std::int32_t index);
  void Commit();

 private:
  bool TakeKept(std::uint32_t at, const void* id, std::uint32_t idBytes, std::uint64_t hash);
  void IndexKept();

  ViewCache& cache_;
  std::uint32_t count_;
  CachedItem* fresh_ = nullptr;
  std::uint32_t* byHash_ = nullptr;  // kept places by ID hash (place + 1; 0 is free)
  std::uint32_t tableSize_ = 0;
  bool committed_ = false;
};

// Keeps a name read for a place.
bool SetItemName(ViewCache& cache, std::uint32_t at, const char* name, std::uint16_t nameBytes);

// Memory of the library's own heap for passing needs; null without memory.
void* HeapBytes(std::size_t bytes);
void FreeHeapBytes(void* memory);

// The bytes of a child ID (its items and the terminating zero); 0 when it is malformed.
std::uint32_t ItemIdBytes(const void* id, std::uint32_t limit = 65536);
// The last item of an absolute ID, as a child ID.
const void* LastItemId(const void* id);
std::uint64_t HashBytes(const void* bytes, std::uint32_t length);

// Called when the library is unloaded: everything goes with the heap.
void DropAllCaches();

}  // namespace tapline
