#include "spotter/FolderWalk.h"

#include <deque>

namespace {

// A large folder is published in parts, so that its first entries show early.
constexpr std::uint32_t kPublishEvery = 4096;

std::uint16_t FlagsOf(std::uint32_t attributes, std::uint16_t inherited) {
  std::uint16_t flags = inherited & (kEntryHidden | kEntryProtected);
  if (attributes & kAttributeDirectory) flags |= kEntryFolder;
  if (attributes & kAttributeHidden) {
    flags |= kEntryHidden;
    if (attributes & kAttributeSystem) flags |= kEntryProtected;
  }
  return flags;
}

}  // namespace

FolderWalk::FolderWalk(EntryIndex& index, DirectoryReader& reader, std::function<void()> published,
                       ShowOptions walkInto)
    : index_(index), reader_(reader), published_(std::move(published)), walkInto_(walkInto) {}

bool FolderWalk::Run(const std::atomic<bool>& cancel) {
  std::deque<std::uint32_t> pending{kRootFolder};
  bool rootRead = true;
  std::uint32_t sincePublish = 0;
  auto publish = [&] {
    index_.Publish();
    sincePublish = 0;
    if (published_) published_();
  };

  while (!pending.empty() && !cancel.load(std::memory_order_relaxed) && !truncated_) {
    const std::uint32_t folder = pending.front();
    pending.pop_front();
    const std::wstring path = index_.FolderPath(folder);
    const std::uint16_t inherited = index_.folder(folder).flags;
    std::uint32_t error = 0;
    const bool read = reader_.Read(
        path,
        [&](const DirectoryReader::Item& item) {
          if (cancel.load(std::memory_order_relaxed)) return false;
          const std::uint16_t flags = FlagsOf(item.attributes, inherited);
          const std::wstring_view name(item.name, item.nameLength);
          const std::uint32_t entry = index_.WrittenEntryCount();
          if (!index_.AddEntry(name, folder, flags, (flags & kEntryFolder) ? 0 : item.size, item.modified)) {
            truncated_ = true;
            return false;
          }
          if ((flags & kEntryFolder) && IsShown(flags, walkInto_)) {
            const bool isLink = (item.attributes & kAttributeReparsePoint) != 0;
            if (!isLink || ShouldFollow(folder, EntryIndex::Join(path, name))) {
              const std::uint32_t child = index_.AddFolder(entry, folder);
              if (child == kNoEntry) {
                truncated_ = true;
                return false;
              }
              pending.push_back(child);
            }
          } else if (!(flags & kEntryFolder)) {
            counts_.files.fetch_add(1, std::memory_order_relaxed);
          }
          if (++sincePublish >= kPublishEvery) publish();
          return true;
        },
        error);
    if (read) {
      counts_.folders.fetch_add(1, std::memory_order_relaxed);
    } else if (folder == kRootFolder) {
      rootRead = false;
      rootError_ = error;
    } else {
      counts_.unreadable.fetch_add(1, std::memory_order_relaxed);
    }
    publish();
  }
  index_.MarkListed();
  if (published_) published_();
  return rootRead;
}

bool FolderWalk::ShouldFollow(std::uint32_t parentFolder, const std::wstring& path) {
  FolderIdentity target;
  if (!reader_.Identify(path, target) || followed_.count(target) != 0) {
    counts_.skippedLinks.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  // A link to the folder it is in, or to any folder above: a loop.
  for (std::uint32_t folder = parentFolder;; folder = index_.folder(folder).parent) {
    FolderIdentity ancestor;
    if (IdentityOf(folder, ancestor) && ancestor == target) {
      counts_.skippedLinks.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    if (folder == kRootFolder) break;
  }
  followed_.insert(target);
  return true;
}

bool FolderWalk::IdentityOf(std::uint32_t folder, FolderIdentity& identity) {
  auto known = identities_.find(folder);
  if (known == identities_.end()) {
    FolderIdentity found;
    const bool ok = reader_.Identify(index_.FolderPath(folder), found);
    // A folder whose identity cannot be told is remembered as none (volume and file 0).
    known = identities_.emplace(folder, ok ? found : FolderIdentity{}).first;
  }
  identity = known->second;
  return identity.volume != 0 || identity.file != 0;
}
