#include "tapline/ShellViewCache.h"

#include <cstring>

namespace tapline {

namespace {

constexpr int kSlots = 8;

ViewCache g_slots[kSlots];
HANDLE volatile g_heap = nullptr;
volatile LONG g_generation = 0;

HANDLE Heap() {
  HANDLE heap = g_heap;
  if (heap) return heap;
  HANDLE created = HeapCreate(0, 0, 0);
  if (!created) return nullptr;
  HANDLE previous = InterlockedCompareExchangePointer(const_cast<PVOID volatile*>(&g_heap), created, nullptr);
  if (previous) {
    HeapDestroy(created);
    return previous;
  }
  return created;
}

std::uint32_t NextGeneration() {
  LONG next = InterlockedIncrement(&g_generation);
  if (next == 0) next = InterlockedIncrement(&g_generation);  // 0 stands for none
  return static_cast<std::uint32_t>(next);
}

void FreeItem(CachedItem& item) {
  if (item.block) FreeHeapBytes(item.block);
  item = CachedItem();
}

bool TryTake(ViewCache& slot) { return InterlockedCompareExchange(&slot.busy, 1, 0) == 0; }

}  // namespace

void* HeapBytes(std::size_t bytes) {
  HANDLE heap = Heap();
  return heap ? HeapAlloc(heap, 0, bytes == 0 ? 1 : bytes) : nullptr;
}

void FreeHeapBytes(void* memory) {
  HANDLE heap = g_heap;
  if (heap && memory) HeapFree(heap, 0, memory);
}

ViewCache* AcquireCache(HWND defView) {
  for (auto& slot : g_slots) {
    if (slot.defView == defView && TryTake(slot)) {
      if (slot.defView == defView) {
        slot.lastUse = GetTickCount();
        return &slot;
      }
      ReleaseCache(&slot);
    }
  }
  // A slot of a view that is gone, else the one least recently used.
  ViewCache* chosen = nullptr;
  for (auto& slot : g_slots) {
    if (!TryTake(slot)) continue;
    const bool gone = !slot.defView || !IsWindow(slot.defView);
    if (gone || !chosen || GetTickCount() - slot.lastUse > GetTickCount() - chosen->lastUse) {
      if (chosen) ReleaseCache(chosen);
      chosen = &slot;
      if (gone) break;
    } else {
      ReleaseCache(&slot);
    }
  }
  if (!chosen) return nullptr;
  ResetCache(*chosen);
  chosen->defView = defView;
  chosen->lastUse = GetTickCount();
  return chosen;
}

void ReleaseCache(ViewCache* cache) {
  if (cache) InterlockedExchange(&cache->busy, 0);
}

void ResetCache(ViewCache& cache) {
  for (std::uint32_t i = 0; i < cache.count; ++i) FreeItem(cache.items[i]);
  if (cache.items) FreeHeapBytes(cache.items);
  cache.items = nullptr;
  cache.count = 0;
  cache.folderHash = 0;
  cache.viewOrder = false;
  cache.selectedCount = 0;
  cache.firstSelected = 0xFFFFFFFFu;
  cache.flags = 0;
  cache.idsTaken = false;
  cache.folderSettled = false;
  cache.folderPath[0] = L'\0';
  cache.generation = NextGeneration();
}

CacheRenewal::CacheRenewal(ViewCache& cache, std::uint32_t count) : cache_(cache), count_(count) {
  fresh_ = static_cast<CachedItem*>(HeapBytes(static_cast<std::size_t>(count ? count : 1) * sizeof(CachedItem)));
  if (fresh_) {
    for (std::uint32_t i = 0; i < count; ++i) fresh_[i] = CachedItem();
  }
}

CacheRenewal::~CacheRenewal() {
  if (!committed_ && fresh_) {
    // Items taken from the kept ones go back where the kept ones are freed with the slot.
    for (std::uint32_t i = 0; i < count_; ++i) FreeItem(fresh_[i]);
    FreeHeapBytes(fresh_);
  }
  FreeHeapBytes(byHash_);
}

void CacheRenewal::IndexKept() {
  tableSize_ = 16;
  while (tableSize_ < cache_.count * 2 && tableSize_ < (1u << 22)) tableSize_ *= 2;
  byHash_ = static_cast<std::uint32_t*>(HeapBytes(tableSize_ * sizeof(std::uint32_t)));
  if (!byHash_) return;
  std::memset(byHash_, 0, tableSize_ * sizeof(std::uint32_t));
  for (std::uint32_t i = 0; i < cache_.count; ++i) {
    if (!cache_.items[i].block) continue;
    for (std::uint32_t at = static_cast<std::uint32_t>(cache_.items[i].hash) & (tableSize_ - 1), n = 0; n < tableSize_;
         at = (at + 1) & (tableSize_ - 1), ++n) {
      if (byHash_[at] == 0) {
        byHash_[at] = i + 1;
        break;
      }
    }
  }
}

bool CacheRenewal::TakeKept(std::uint32_t at, const void* id, std::uint32_t idBytes, std::uint64_t hash) {
  if (tableSize_ == 0) IndexKept();
  if (!byHash_) return false;
  for (std::uint32_t slot = static_cast<std::uint32_t>(hash) & (tableSize_ - 1), n = 0; n < tableSize_;
       slot = (slot + 1) & (tableSize_ - 1), ++n) {
    const std::uint32_t entry = byHash_[slot];
    if (entry == 0) return false;
    CachedItem& kept = cache_.items[entry - 1];
    if (kept.block && kept.hash == hash && kept.idBytes == idBytes && std::memcmp(kept.block, id, idBytes) == 0) {
      fresh_[at] = kept;
      kept = CachedItem();
      return true;
    }
  }
  return false;
}

void CacheRenewal::Put(std::uint32_t at, const void* id, std::int32_t index) {
  if (!fresh_ || at >= count_) return;
  const std::uint32_t idBytes = ItemIdBytes(id);
  if (idBytes != 0) {
    CachedItem* here = at < cache_.count ? &cache_.items[at] : nullptr;
    if (here && here->block && here->idBytes == idBytes && std::memcmp(here->block, id, idBytes) == 0) {
      fresh_[at] = *here;  // the common case: the same item at the same place
      *here = CachedItem();
    } else {
      const std::uint64_t hash = HashBytes(id, idBytes);
      if (!TakeKept(at, id, idBytes, hash)) {
        auto* block = static_cast<std::uint8_t*>(HeapBytes(idBytes));
        if (block) {
          std::memcpy(block, id, idBytes);
          fresh_[at].block = block;
          fresh_[at].idBytes = idBytes;
          fresh_[at].hash = hash;
        }
      }
    }
  }
  fresh_[at].index = index;  // an ID the view did not tell leaves an empty place
  fresh_[at].state = 0;
}

void CacheRenewal::Commit() {
  if (!fresh_ || committed_) return;
  for (std::uint32_t i = 0; i < cache_.count; ++i) FreeItem(cache_.items[i]);
  if (cache_.items) FreeHeapBytes(cache_.items);
  cache_.items = fresh_;
  cache_.count = count_;
  committed_ = true;
}

bool SetItemName(ViewCache& cache, std::uint32_t at, const char* name, std::uint16_t nameBytes) {
  if (at >= cache.count || !cache.items[at].block) return false;
  CachedItem& item = cache.items[at];
  auto* block = static_cast<std::uint8_t*>(HeapBytes(static_cast<std::size_t>(item.idBytes) + nameBytes));
  if (!block) return false;
  std::memcpy(block, item.block, item.idBytes);
  if (nameBytes > 0) std::memcpy(block + item.idBytes, name, nameBytes);
  FreeHeapBytes(item.block);
  item.block = block;
  item.nameBytes = nameBytes;
  item.nameKnown = 1;
  return true;
}

std::uint32_t ItemIdBytes(const void* id, std::uint32_t limit) {
  if (!id) return 0;
  const auto* bytes = static_cast<const std::uint8_t*>(id);
  std::uint32_t at = 0;
  for (;;) {
    if (at + 2 > limit) return 0;
    const std::uint16_t cb = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    if (cb == 0) return at + 2;
    if (cb < 2 || at + cb > limit) return 0;
    at += cb;
  }
}

const void* LastItemId(const void* id) {
  if (!id) return nullptr;
  const auto* bytes = static_cast<const std::uint8_t*>(id);
  const std::uint8_t* last = bytes;
  std::uint32_t at = 0;
  for (int guard = 0; guard < 4096; ++guard) {
    const std::uint16_t cb = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    if (cb == 0) break;
    last = bytes + at;
    at += cb;
  }
  return last;
}

std::uint64_t HashBytes(const void* bytes, std::uint32_t length) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  for (std::uint32_t i = 0; i < length; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}

void DropAllCaches() {
  for (auto& slot : g_slots) {
    slot.items = nullptr;
    slot.count = 0;
    slot.defView = nullptr;
  }
  HANDLE heap = InterlockedExchangePointer(const_cast<PVOID volatile*>(&g_heap), nullptr);
  if (heap) HeapDestroy(heap);
}

}  // namespace tapline
