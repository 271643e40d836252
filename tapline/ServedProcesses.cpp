#include "tapline/ServedProcesses.h"

namespace tapline {

namespace {

enum Phase : std::uint32_t { kFree = 0, kBusy = 1, kReady = 2 };

std::uint32_t PhaseOf(std::uint32_t state) { return state & 3u; }
std::uint32_t Generation(std::uint32_t state) { return state >> 2; }
std::uint32_t Make(std::uint32_t generation, Phase phase) { return (generation << 2) | phase; }

// Read between two looks at the state word; acquire loads keep the second look after them.
std::uint64_t CreatedOf(const ServedSlot& slot) {
  return static_cast<std::uint64_t>(slot.createdLow.load(std::memory_order_acquire)) |
         (static_cast<std::uint64_t>(slot.createdHigh.load(std::memory_order_acquire)) << 32);
}

// Moves a ready slot to busy; false when someone else changed it first.
bool TakeReady(ServedSlot& slot, std::uint32_t& state) {
  return PhaseOf(state) == kReady &&
         slot.state.compare_exchange_strong(state, Make(Generation(state), kBusy), std::memory_order_acquire,
                                            std::memory_order_relaxed);
}

void Free(ServedSlot& slot, std::uint32_t busyState) {
  slot.processId.store(0, std::memory_order_relaxed);
  slot.createdLow.store(0, std::memory_order_relaxed);
  slot.createdHigh.store(0, std::memory_order_relaxed);
  slot.state.store(Make(Generation(busyState) + 1, kFree), std::memory_order_release);
}

}  // namespace

const char* ServedBlockName() {
#if defined(_WIN64) || defined(__x86_64__)
  return "Kanasift::Tapline.Served.v1.x64";
#else
  return "Kanasift::Tapline.Served.v1.x86";
#endif
}
static_assert(kServedVersion == 1, "the mapping name carries the layout version");

void InitServedBlock(ServedBlock& block) {
  for (auto& slot : block.slots) {
    slot.state.store(0, std::memory_order_relaxed);
    slot.processId.store(0, std::memory_order_relaxed);
    slot.createdLow.store(0, std::memory_order_relaxed);
    slot.createdHigh.store(0, std::memory_order_relaxed);
  }
  block.version = kServedVersion;
  block.size = sizeof(ServedBlock);
  block.pointerBits = sizeof(void*) * 8;
  block.magic.store(kServedMagic, std::memory_order_release);
}

bool IsUsableServedBlock(const void* memory, std::size_t mappedSize) {
  if (!memory || mappedSize < sizeof(ServedBlock)) return false;
  const auto* block = static_cast<const ServedBlock*>(memory);
  if (block->magic.load(std::memory_order_acquire) != kServedMagic) return false;
  return block->version == kServedVersion && block->size == sizeof(ServedBlock) &&
         block->pointerBits == sizeof(void*) * 8;
}

namespace {

int TakeFreeSlot(ServedBlock& block, std::uint32_t processId, std::uint64_t created) {
  for (int i = 0; i < kServedSlots; ++i) {
    ServedSlot& slot = block.slots[i];
    std::uint32_t state = slot.state.load(std::memory_order_relaxed);
    if (PhaseOf(state) != kFree) continue;
    std::uint32_t busy = Make(Generation(state) + 1, kBusy);
    if (!slot.state.compare_exchange_strong(state, busy, std::memory_order_acquire, std::memory_order_relaxed)) {
      continue;
    }
    slot.processId.store(processId, std::memory_order_relaxed);
    slot.createdLow.store(static_cast<std::uint32_t>(created), std::memory_order_relaxed);
    slot.createdHigh.store(static_cast<std::uint32_t>(created >> 32), std::memory_order_relaxed);
    slot.state.store(Make(Generation(busy), kReady), std::memory_order_release);
    return i;
  }
  return -1;
}

}  // namespace

int AddServedProcess(ServedBlock& block, std::uint32_t processId, std::uint64_t created, ProcessRuns runs,
                     void* context) {
  if (processId == 0) return -1;
  int slot = TakeFreeSlot(block, processId, created);
  // Processes that ended without unloading the library keep their entries: a full list
  // is mostly such entries, and a process that cannot enter is never read from inside.
  if (slot < 0 && runs && ClearEndedProcesses(block, runs, context) > 0) slot = TakeFreeSlot(block, processId, created);
  return slot;
}

void RemoveServedProcess(ServedBlock& block, int index, std::uint32_t processId) {
  if (index < 0 || index >= kServedSlots) return;
  ServedSlot& slot = block.slots[index];
  std::uint32_t state = slot.state.load(std::memory_order_acquire);
  if (PhaseOf(state) != kReady || slot.processId.load(std::memory_order_relaxed) != processId) return;
  // A slot cleared and taken by another process since the look has another generation.
  if (!TakeReady(slot, state)) return;
  Free(slot, state);
}

bool IsServedProcess(const ServedBlock& block, std::uint32_t processId, std::uint64_t created) {
  if (processId == 0) return false;
  for (const auto& slot : block.slots) {
    std::uint32_t before = slot.state.load(std::memory_order_acquire);
    if (PhaseOf(before) != kReady || slot.processId.load(std::memory_order_acquire) != processId) continue;
    std::uint64_t recorded = CreatedOf(slot);
    if (slot.state.load(std::memory_order_relaxed) == before && recorded == created) return true;
  }
  return false;
}

int ClearEndedProcesses(ServedBlock& block, ProcessRuns runs, void* context) {
  int cleared = 0;
  for (auto& slot : block.slots) {
    std::uint32_t state = slot.state.load(std::memory_order_acquire);
    if (PhaseOf(state) != kReady) continue;
    std::uint32_t processId = slot.processId.load(std::memory_order_acquire);
    std::uint64_t created = CreatedOf(slot);
    if (slot.state.load(std::memory_order_relaxed) != state || runs(processId, created, context)) continue;
    if (!TakeReady(slot, state)) continue;
    Free(slot, state);
    ++cleared;
  }
  return cleared;
}

}  // namespace tapline
