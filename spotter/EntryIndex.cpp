#include "spotter/EntryIndex.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// Names are stored in blocks of this many characters (a longer name gets its own block).
constexpr std::size_t kNameBlockChars = 32768;

bool HasHalfWidthKana(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c >= 0xFF61 && c <= 0xFF9F) return true;
  }
  return false;
}

bool EndsWithSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

}  // namespace

EntryIndex::EntryIndex(std::wstring root) : root_(std::move(root)) {
  folders_.Append(FolderRecord{kNoEntry, kRootFolder, 0});
  folders_.Publish();
  memoryBytes_.store(CountMemory(), std::memory_order_release);
}

std::uint32_t EntryIndex::AddFolder(std::uint32_t entry, std::uint32_t parent) {
  const std::uint32_t id = folders_.WrittenSize();
  const std::uint16_t flags = entry < entries_.WrittenSize() ? entries_.Written(entry).flags : 0;
  if (!folders_.Append(FolderRecord{entry, parent, flags})) return kNoEntry;
  return id;
}

bool EntryIndex::AddEntry(std::wstring_view name, std::uint32_t folder, std::uint16_t flags, std::uint64_t size,
                          std::uint64_t modified) {
  const std::size_t length = std::min<std::size_t>(name.size(), 0xFFFF);
  if (nameBlocks_.empty() || nameBlockSize_ - nameBlockUsed_ < length + 1) {
    const std::size_t chars = std::max(kNameBlockChars, length + 1);
    nameBlocks_.push_back(std::make_unique<wchar_t[]>(chars));
    nameBlockSize_ = chars;
    nameBlockUsed_ = 0;
    nameBlockBytes_ += chars * sizeof(wchar_t);
  }
  wchar_t* stored = nameBlocks_.back().get() + nameBlockUsed_;
  std::memcpy(stored, name.data(), length * sizeof(wchar_t));
  stored[length] = L'\0';
  if (HasHalfWidthKana(name)) flags |= kEntryHalfWidthKana;
  if (!entries_.Append(Entry{stored, size, modified, folder, static_cast<std::uint16_t>(length), flags})) {
    return false;
  }
  nameBlockUsed_ += length + 1;
  return true;
}

void EntryIndex::Publish() {
  folders_.Publish();
  entries_.Publish();
  memoryBytes_.store(CountMemory(), std::memory_order_release);
}

void EntryIndex::MarkListed() {
  Publish();
  listed_.store(true, std::memory_order_release);
}

namespace {
// Thrown by the comparison to leave a sort that is no longer wanted.
struct OrderCancelled {};
}  // namespace

void EntryIndex::ComputeOrder(SortKeyFunction sortKey, const std::atomic<bool>* cancel) {
  auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
  const std::uint32_t count = entries_.WrittenSize();
  // One key per name, all in one buffer: sorting by keys costs a byte comparison where a
  // locale's comparison of two names costs microseconds.
  std::string keys;
  std::vector<std::size_t> starts(count + 1, 0);
  std::string key;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i % 4096 == 0 && cancelled()) return;
    sortKey(entries_.Written(i).name, key);
    keys += key;
    starts[i + 1] = keys.size();
  }
  auto keyOf = [&](std::uint32_t i) { return std::string_view(keys).substr(starts[i], starts[i + 1] - starts[i]); };
  std::vector<std::uint32_t> byName(count);
  std::iota(byName.begin(), byName.end(), 0u);
  std::uint32_t comparisons = 0;
  try {
    std::stable_sort(byName.begin(), byName.end(), [&](std::uint32_t a, std::uint32_t b) {
      if (++comparisons % 65536 == 0 && cancelled()) throw OrderCancelled();
      return keyOf(a) < keyOf(b);
    });
  } catch (const OrderCancelled&) {
    return;
  }
  nameRank_.assign(count, 0);
  for (std::uint32_t position = 0; position < count; ++position) nameRank_[byName[position]] = position;

  // Tree order: a folder before its subfolders, siblings by name.
  const std::uint32_t folderCount = folders_.WrittenSize();
  std::vector<std::vector<std::uint32_t>> children(folderCount);
  for (std::uint32_t id = 1; id < folderCount; ++id) children[folders_.Written(id).parent].push_back(id);
  folderRank_.assign(folderCount, 0);
  std::uint32_t next = 0;
  std::vector<std::uint32_t> stack{kRootFolder};
  while (!stack.empty()) {
    const std::uint32_t id = stack.back();
    stack.pop_back();
    folderRank_[id] = next++;
    std::vector<std::uint32_t>& kids = children[id];
    // Pushed in reverse name order, so the first by name is taken next.
    std::sort(kids.begin(), kids.end(), [&](std::uint32_t a, std::uint32_t b) {
      return nameRank_[folders_.Written(a).entry] > nameRank_[folders_.Written(b).entry];
    });
    stack.insert(stack.end(), kids.begin(), kids.end());
  }
  memoryBytes_.store(CountMemory(), std::memory_order_release);
  ordered_.store(true, std::memory_order_release);
}

std::wstring EntryIndex::RelativeFolderPath(std::uint32_t folder) const {
  std::vector<const Entry*> chain;
  while (folder != kRootFolder) {
    const FolderRecord& record = folders_[folder];
    chain.push_back(&entries_[record.entry]);
    folder = record.parent;
  }
  std::wstring path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += L'\\';
    path.append((*it)->name, (*it)->nameLength);
  }
  return path;
}

std::wstring EntryIndex::FolderPath(std::uint32_t folder) const {
  if (folder == kRootFolder) return root_;
  return Join(root_, RelativeFolderPath(folder));
}

std::wstring EntryIndex::FullPath(std::uint32_t entry) const {
  const Entry& record = entries_[entry];
  return Join(FolderPath(record.folder), std::wstring_view(record.name, record.nameLength));
}

std::wstring EntryIndex::Join(const std::wstring& path, std::wstring_view name) {
  std::wstring joined = path;
  if (!joined.empty() && !EndsWithSeparator(joined)) joined += L'\\';
  joined += name;
  return joined;
}

std::size_t EntryIndex::CountMemory() const {
  return sizeof(*this) + root_.capacity() * sizeof(wchar_t) + entries_.AllocatedBytes() +
         folders_.AllocatedBytes() + nameBlockBytes_ + nameBlocks_.capacity() * sizeof(nameBlocks_[0]) +
         (nameRank_.capacity() + folderRank_.capacity()) * sizeof(std::uint32_t);
}
