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
  cache.count = cache.capacity = 0;
  cache.folderHash = 0;
  cache.viewOrder = false;
  cache.selectedCount = 0;
  cache.firstSelected = 0xFFFFFFFFu;
  cache.flags = 0;
  cache.generation = NextGeneration();
}

bool ResizeCache(ViewCache& cache, std::uint32_t count) {
  for (std::uint32_t i = count; i < cache.count; ++i) FreeItem(cache.items[i]);
  if (count > cache.capacity) {
    std::uint32_t capacity = cache.capacity < 64 ? 64 : cache.capacity;
    while (capacity < count) capacity = capacity > 0x7FFFFFFFu / 2 ? count : capacity * 2;
    auto* items = static_cast<CachedItem*>(HeapBytes(static_cast<std::size_t>(capacity) * sizeof(CachedItem)));
    if (!items) {
      if (count < cache.count) cache.count = count;
      return false;
    }
    for (std::uint32_t i = 0; i < capacity; ++i) items[i] = CachedItem();
    for (std::uint32_t i = 0; i < cache.count && i < count; ++i) items[i] = cache.items[i];
    if (cache.items) FreeHeapBytes(cache.items);
    cache.items = items;
    cache.capacity = capacity;
  }
  for (std::uint32_t i = cache.count; i < count; ++i) cache.items[i] = CachedItem();
  cache.count = count;
  return true;
}

bool SetItemId(ViewCache& cache, std::uint32_t at, const std::uint8_t* id, std::uint32_t idBytes,
               std::uint64_t hash, std::int32_t index) {
  if (at >= cache.count) return false;
  CachedItem& item = cache.items[at];
  item.index = index;
  if (item.block && item.hash == hash && item.idBytes == idBytes && std::memcmp(item.block, id, idBytes) == 0) {
    return true;
  }
  FreeItem(item);
  item.index = index;
  if (!id || idBytes == 0) return true;  // an empty place
  auto* block = static_cast<std::uint8_t*>(HeapBytes(idBytes));
  if (!block) return false;
  std::memcpy(block, id, idBytes);
  item.block = block;
  item.idBytes = idBytes;
  item.hash = hash;
  return true;
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
    slot.count = slot.capacity = 0;
    slot.defView = nullptr;
  }
  HANDLE heap = InterlockedExchangePointer(const_cast<PVOID volatile*>(&g_heap), nullptr);
  if (heap) HeapDestroy(heap);
}

}  // namespace tapline
