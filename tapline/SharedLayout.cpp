#include "tapline/SharedLayout.h"

#include <cstring>

#include "tapline/CharQueue.h"
#include "tapline/ClassList.h"

namespace tapline {

namespace {

constexpr char kDefaultListClasses[] = "SysListView32";
constexpr char kDefaultTreeClasses[] = "SysTreeView32";
constexpr char kDefaultShellClasses[] = "DirectUIHWND";
// Four triples {title, top-level class, view class}, each field NUL-terminated: the
// desktop, Explorer windows, and the file pane of the common file dialogs.
constexpr char kDefaultConditions[] =
    "*\0Progman\0*\0*\0ExploreWClass\0*\0*\0CabinetWClass\0*\0*\0#32770\0DirectUIHWND";
constexpr std::uint32_t kDefaultConditionCount = 4;
constexpr char kDefaultShortcutKeys[] = "G!NPST!!!!!!H";

constexpr int kReadAttempts = 1024;
constexpr int kWriterSpinsBeforeTakeover = 1 << 20;

void CopyList(char* target, const char* source) {
  std::strcpy(target, source);
  classlist::TabSeparatedToNulSeparated(target);
}

// The configuration travels in 32-bit words with atomic accesses: the sequence counter
// around them says whether a copy is consistent. Stores release and loads acquire (plain
// moves on x86): a reader that sees any word of a newer copy also sees the counter that
// the writer made odd before it.
void LoadWords(const void* source, void* target, std::size_t bytes) {
  const auto* from = static_cast<const std::uint32_t*>(source);
  auto* to = static_cast<std::uint32_t*>(target);
  for (std::size_t i = 0; i < bytes / 4; ++i) to[i] = __atomic_load_n(&from[i], __ATOMIC_ACQUIRE);
}

void StoreWords(const void* source, void* target, std::size_t bytes) {
  const auto* from = static_cast<const std::uint32_t*>(source);
  auto* to = static_cast<std::uint32_t*>(target);
  for (std::size_t i = 0; i < bytes / 4; ++i) __atomic_store_n(&to[i], from[i], __ATOMIC_RELEASE);
}

void Pause() {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

Config DefaultConfig() {
  Config config;
  std::memset(&config, 0, sizeof(config));
  config.isUse = 1;
  config.isEnable = 1;
  config.isForceEnable = 0;
  CopyList(config.listClasses, kDefaultListClasses);
  CopyList(config.treeClasses, kDefaultTreeClasses);
  CopyList(config.shellClasses, kDefaultShellClasses);
  std::memcpy(config.conditions, kDefaultConditions, sizeof(kDefaultConditions));
  config.conditionCount = kDefaultConditionCount;
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    config.shortcuts[i].ctrl = 1;
    config.shortcuts[i].alt = 0;
    config.shortcuts[i].key = static_cast<std::uint8_t>(kDefaultShortcutKeys[i]);
  }
  return config;
}

const char* SharedBlockName() {
#if defined(_WIN64) || defined(__x86_64__)
  return "Kanasift::Tapline.Shared.v3.x64";
#else
  return "Kanasift::Tapline.Shared.v3.x86";
#endif
}
static_assert(kLayoutVersion == 3, "the mapping name carries the layout version");

void InitSharedBlock(SharedBlock& block) {
  Config defaults = DefaultConfig();
  StoreWords(&defaults, &block.config, sizeof(Config));
  block.configSequence.store(0, std::memory_order_relaxed);
  for (auto& slot : block.injections) slot.store(0, std::memory_order_relaxed);
  ResetQueue(block.queue, 0);
  block.version = kLayoutVersion;
  block.size = sizeof(SharedBlock);
  block.pointerBits = kPointerBits;
  block.magic.store(kLayoutMagic, std::memory_order_release);
}

bool IsUsableBlock(const void* memory, std::size_t mappedSize) {
  if (!memory || mappedSize < sizeof(SharedBlock)) return false;
  const auto* block = static_cast<const SharedBlock*>(memory);
  if (block->magic.load(std::memory_order_acquire) != kLayoutMagic) return false;
  return block->version == kLayoutVersion && block->size == sizeof(SharedBlock) &&
         block->pointerBits == kPointerBits;
}

void WriteConfig(SharedBlock& block, const Config& config) {
  std::uint32_t sequence = block.configSequence.load(std::memory_order_relaxed);
  int spins = 0;
  for (;;) {
    if ((sequence & 1) == 0) {
      if (block.configSequence.compare_exchange_weak(sequence, sequence + 1, std::memory_order_acquire,
                                                     std::memory_order_relaxed)) {
        ++sequence;
        break;
      }
      continue;
    }
    if (++spins >= kWriterSpinsBeforeTakeover) {
      // The writer that holds the counter has not let go for a long time: it died inside.
      if (block.configSequence.compare_exchange_strong(sequence, sequence + 2, std::memory_order_acquire,
                                                       std::memory_order_relaxed)) {
        sequence += 2;
        break;
      }
      spins = 0;
      continue;
    }
    Pause();
    sequence = block.configSequence.load(std::memory_order_relaxed);
  }
  StoreWords(&config, &block.config, sizeof(Config));
  block.configSequence.store(sequence + 1, std::memory_order_release);
}

bool ReadConfig(const SharedBlock& block, Config& config) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    std::uint32_t before = block.configSequence.load(std::memory_order_acquire);
    if (before & 1) {
      Pause();
      continue;
    }
    LoadWords(&block.config, &config, sizeof(Config));
    if (block.configSequence.load(std::memory_order_relaxed) == before) {
      // Whatever a foreign writer left there, every text ends inside its buffer.
      config.listClasses[kClassListBytes - 2] = '\0';
      config.listClasses[kClassListBytes - 1] = '\0';
      config.treeClasses[kClassListBytes - 2] = '\0';
      config.treeClasses[kClassListBytes - 1] = '\0';
      config.conditions[kConditionBytes - 1] = '\0';
      config.nisHeader[kNisHeaderUnits - 1] = 0;
      return true;
    }
  }
  return false;
}

}  // namespace tapline
