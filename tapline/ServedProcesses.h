// The processes that have this bitness's hook library loaded, so that Kanasift can tell
// before it asks a view's process to read the view itself whether anyone there would
// answer. Every copy of the library enters its process when it is loaded and takes it
// out when it is unloaded; a process that ended without unloading leaves its entry,
// which never matches again (the creation time tells a reused process id apart); such
// entries are cleared when Kanasift sets its hook and whenever a process finds the list
// full.
//
// One named file mapping per layout version and bitness, beside the shared block:
// "Kanasift::Tapline.Served.v1.x86" / ".x64". Only 32-bit atomics; each slot carries a
// state word (a generation count and a phase) that a reader compares before and after
// it reads the slot, so it never takes half of one entry and half of another.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tapline {

constexpr std::uint32_t kServedMagic = 0x56535054;  // "TPSV"
constexpr std::uint32_t kServedVersion = 1;
constexpr int kServedSlots = 128;

struct ServedSlot {
  std::atomic<std::uint32_t> state;  // generation << 2 | phase (free, busy, ready)
  std::atomic<std::uint32_t> processId;
  std::atomic<std::uint32_t> createdLow;  // the process's creation time (FILETIME)
  std::atomic<std::uint32_t> createdHigh;
};

struct ServedBlock {
  // Header: written once by the creator, `magic` last.
  std::atomic<std::uint32_t> magic;
  std::uint32_t version;
  std::uint32_t size;
  std::uint32_t pointerBits;
  ServedSlot slots[kServedSlots];
};

const char* ServedBlockName();

// Prepares a freshly created (zero-filled) block.
void InitServedBlock(ServedBlock& block);
bool IsUsableServedBlock(const void* memory, std::size_t mappedSize);

using ProcessRuns = bool (*)(std::uint32_t processId, std::uint64_t created, void* context);

// Enters a process; the slot it took, or -1 when every slot is taken. With `runs`, a
// full list is first rid of the entries of processes that ended (ClearEndedProcesses).
int AddServedProcess(ServedBlock& block, std::uint32_t processId, std::uint64_t created, ProcessRuns runs = nullptr,
                     void* context = nullptr);
// Takes the entry out again, if the slot still holds that process.
void RemoveServedProcess(ServedBlock& block, int slot, std::uint32_t processId);

// True when the process with this id and creation time is entered.
bool IsServedProcess(const ServedBlock& block, std::uint32_t processId, std::uint64_t created);

// Asks about every entry whether its process still runs, and clears those that do not.
// Returns the number cleared.
int ClearEndedProcesses(ServedBlock& block, ProcessRuns runs, void* context);

}  // namespace tapline
