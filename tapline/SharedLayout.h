// The memory that every copy of Tapline.dll shares: one named file mapping per layout
// version and bitness. It holds the configuration that Kanasift publishes, the keys that
// Kanasift is about to inject, and the queue of typed characters.
//
// Only fixed-width types and 32-bit atomics live here, so that the layout is the same in
// every process of one bitness. A block whose header does not match this build (another
// layout version, another size, another bitness, or a creator that has not finished) is
// not used at all: the hook then lets every key through.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "tapline/TaplineTypes.h"

namespace tapline {

constexpr std::uint32_t kLayoutMagic = 0x4E4C5054;  // "TPLN"
constexpr std::uint32_t kLayoutVersion = 3;
constexpr std::uint32_t kPointerBits = sizeof(void*) * 8;

constexpr std::size_t kClassListBytes = 512;
constexpr std::size_t kConditionBytes = 2048;
constexpr std::size_t kNisHeaderUnits = 128;  // UTF-16 code units, NUL included
constexpr std::uint32_t kQueueCapacity = 1024;  // a power of two
constexpr std::size_t kKeystrokeBytes = 7;
constexpr int kInjectionSlots = 8;

static_assert((kQueueCapacity & (kQueueCapacity - 1)) == 0, "queue capacity is a power of two");
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "cross-process atomics");

// Index of the key message to post, by modifiers held.
enum KeyMessage : std::uint32_t {
  kKeyDownPlain = 0,
  kKeyDownCtrl = 1,
  kKeyDownAlt = 2,
  kKeyDownCtrlAlt = 3,
};

// Everything Kanasift configures. Plain data: copied as a whole under the block's
// sequence counter.
struct Config {
  std::uint8_t isUse;
  std::uint8_t isEnable;
  std::uint8_t isForceEnable;
  std::uint8_t reserved0;
  std::uint32_t ownerProcessId;
  std::uint64_t ownerWindow;  // the window given to setHook; 0 when no hook is set
  std::uint32_t keyDownMessages[4];  // registered message numbers, by KeyMessage
  // Drawn afresh by each setHook: a whole-view read request must carry it
  // (ViewReadFormat.h), so only the process that owns the hook is served.
  std::uint32_t requestKeyLow;
  std::uint32_t requestKeyHigh;
  std::uint32_t conditionCount;  // triples in `conditions`
  char listClasses[kClassListBytes];  // NUL-separated, ended by an empty entry
  char treeClasses[kClassListBytes];
  // Classes of windows served through the shell view that holds them.
  char shellClasses[kClassListBytes];
  char conditions[kConditionBytes];  // 3 * conditionCount NUL-terminated fields in a row
  Shortcut shortcuts[SHORTCUT_COUNT];
  std::uint8_t reserved1;
  std::uint16_t nisHeader[kNisHeaderUnits];  // UTF-16, NUL-terminated
};
static_assert(sizeof(Config) % 4 == 0, "Config is copied in 32-bit words");

// The state of a fresh library: use on, enabled, not force-enabled, the default class
// lists (shell view classes: DirectUIHWND), target conditions and shortcuts, no owner, empty NIS header.
Config DefaultConfig();

// One typed key: the bytes it produced in the ANSI code page (a double-byte character
// stays in one keystroke), with the view and the tick count.
struct Keystroke {
  std::uint64_t view;
  std::uint32_t tick;
  std::uint8_t length;
  std::uint8_t bytes[kKeystrokeBytes];
};

// The keystroke of a cell in five 32-bit words (view low and high, tick, length and the
// first three bytes, the last four bytes). Each is stored together with the queue
// position of the producer that wrote it, and only while no later producer has written
// there, so a producer that stalled and lost its cell can never overwrite a newer one.
constexpr int kPayloadWords = 5;
static_assert(1 + kKeystrokeBytes == 8, "length and bytes fill two payload words");

struct QueueCell {
  std::atomic<std::uint32_t> sequence;
  std::uint32_t reserved;
  std::atomic<std::uint64_t> payload[kPayloadWords];  // position << 32 | word
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "cross-process 64-bit atomics");
static_assert(sizeof(QueueCell) == 48, "a cell is the same in every process");

// A bounded lock-free queue (many producers, any consumer) with a sequence number in
// each cell. Positions are 32-bit counters that wrap.
struct QueueArea {
  alignas(64) std::atomic<std::uint32_t> enqueuePosition;
  alignas(64) std::atomic<std::uint32_t> dequeuePosition;
  // A cell reserved by a producer that never published it (its process died in between)
  // is skipped once it has blocked the head for a while.
  std::atomic<std::uint32_t> stallPosition;
  std::atomic<std::uint32_t> stallSince;
  std::atomic<std::uint32_t> stallTracked;
  QueueCell cells[kQueueCapacity];
};

struct SharedBlock {
  // Header: written once by the creator, `magic` last.
  std::atomic<std::uint32_t> magic;
  std::uint32_t version;
  std::uint32_t size;
  std::uint32_t pointerBits;

  std::atomic<std::uint32_t> configSequence;  // odd while a writer is inside
  std::uint32_t reserved;
  Config config;

  // Keys Kanasift is about to inject: (tick & 0xFFFFFF) << 8 | virtual key; 0 is free.
  std::atomic<std::uint32_t> injections[kInjectionSlots];

  QueueArea queue;
};

// The name of the file mapping for this layout version and bitness.
const char* SharedBlockName();

// Prepares a freshly created (zero-filled) block: defaults, then the header.
void InitSharedBlock(SharedBlock& block);

// True when the memory holds a finished block of this layout version and bitness.
bool IsUsableBlock(const void* memory, std::size_t mappedSize);

// Publishes a new configuration. Writers in different processes exclude each other
// through the sequence counter; one that finds the counter held longer than a few
// thousand spins (a writer died inside) takes it over.
void WriteConfig(SharedBlock& block, const Config& config);

// Copies the configuration; false when no consistent copy could be taken within a
// bounded number of attempts (then the caller lets the key through).
bool ReadConfig(const SharedBlock& block, Config& config);

}  // namespace tapline
