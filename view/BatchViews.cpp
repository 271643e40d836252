#include "view/BatchViews.h"

#include <algorithm>

namespace {

using viewread::ReadKind;
using SnapshotResult = BatchViewProvider::SnapshotResult;

// A first answer gets a mapping of this size (about 30,000 names); later answers for the
// same view one a quarter larger than the last. Pages are only touched as far as the
// answer reaches.
constexpr std::uint32_t kFirstCapacity = 1u << 20;
constexpr std::size_t kMaxSizeHints = 64;
// A thread that ignored a request is read item by item for this long.
constexpr DWORD kQuietMs = 30000;
// Under Wine a list view takes about 1.2 us per item to deselect all items at once, and
// a message to another process costs 100-350 us: deselecting the few selected items one
// by one is cheaper while there are fewer than about one per 256 items.
constexpr std::size_t kItemsPerDeselectMessage = 256;

// Which source a view's question goes to.
enum class Source { Snapshot, PerItem, Lost };

class BatchList final : public ListView {
 public:
  BatchList(HWND view, std::unique_ptr<ListView> remote, BatchViewProvider& provider)
      : view_(view), remote_(std::move(remote)), provider_(provider) {}

  int ItemCount() override {
    switch (Use()) {
      case Source::Snapshot:
        return snapshot_.itemCount;
      case Source::PerItem:
        return remote_->ItemCount();
      case Source::Lost:
        break;
    }
    return 0;
  }

  int SelectedCount() override {
    Source source = StateSource();
    if (source == Source::Snapshot) return snapshot_.selectedCount;
    return source == Source::PerItem ? remote_->SelectedCount() : 0;
  }

  std::uint32_t ItemState(int index, std::uint32_t mask) override {
    Source source = StateSource();
    if (source == Source::Snapshot && (mask & ~viewread::kListStateMask) == 0 && InRange(index)) {
      return snapshot_.items[static_cast<std::size_t>(index)].state & mask;
    }
    return source == Source::Lost ? 0 : remote_->ItemState(index, mask);
  }

  std::uint32_t ExtendedStyle() override { return remote_->ExtendedStyle(); }

  void SetExtendedStyle(std::uint32_t style) override {
    statesChanged_ = true;  // the check boxes come or go with their state images
    remote_->SetExtendedStyle(style);
  }

  bool EnsureVisible(int index) override { return !lost_ && remote_->EnsureVisible(index); }

  bool OpenRecord() override { return !lost_ && remote_->OpenRecord(); }

  bool ItemText(int index, std::string& text) override {
    Source source = Use();
    if (source == Source::Snapshot && InRange(index)) return snapshot_.Text(static_cast<std::size_t>(index), text);
    text.clear();
    if (source == Source::Lost) return false;
    ++provider_.MutableCounters().perItemNames;
    return remote_->ItemText(index, text);
  }

  bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) override {
    if (lost_) return false;
    if (index == kAllItems && state == 0 && mask == kLvisSelected && StateSource() == Source::Snapshot) {
      return DeselectAll();
    }
    statesChanged_ = true;
    return remote_->SetItemState(index, state, mask);
  }

  bool LabelRect(int index, ItemRect& rect) override { return !lost_ && remote_->LabelRect(index, rect); }

  bool Lost() const override { return lost_ || remote_->Lost(); }

 private:
  Source Use() {
    if (!asked_) {
      asked_ = true;
      switch (provider_.Snapshot(view_, ReadKind::List, snapshot_)) {
        case SnapshotResult::Read:
          haveSnapshot_ = true;
          break;
        case SnapshotResult::Lost:
          lost_ = true;
          break;
        case SnapshotResult::PerItem:
          break;
      }
    }
    if (lost_) return Source::Lost;
    return haveSnapshot_ ? Source::Snapshot : Source::PerItem;
  }

  // States are taken from the snapshot until this view changes one.
  Source StateSource() {
    Source source = Use();
    return source == Source::Snapshot && statesChanged_ ? Source::PerItem : source;
  }

  bool InRange(int index) const { return index >= 0 && static_cast<std::size_t>(index) < snapshot_.items.size(); }

  // Every item ends deselected, as after LVM_SETITEMSTATE with index -1: with few items
  // selected, one message each for them instead of one that makes the view go through
  // all its items.
  bool DeselectAll() {
    std::vector<int> selected;
    for (std::size_t i = 0; i < snapshot_.items.size(); ++i) {
      if (snapshot_.items[i].state & kLvisSelected) selected.push_back(static_cast<int>(i));
    }
    statesChanged_ = true;
    const bool few = selected.size() == 1 || selected.size() * kItemsPerDeselectMessage <= snapshot_.items.size();
    if (selected.empty() || !few) return remote_->SetItemState(kAllItems, 0, kLvisSelected);
    bool done = true;
    for (int index : selected) {
      done = remote_->SetItemState(index, 0, kLvisSelected) && done;
      if (remote_->Lost()) return false;
    }
    return done;
  }

  HWND view_;
  std::unique_ptr<ListView> remote_;
  BatchViewProvider& provider_;
  ViewSnapshot snapshot_;
  bool asked_ = false;
  bool haveSnapshot_ = false;
  bool lost_ = false;
  bool statesChanged_ = false;
};

class BatchTree final : public TreeView {
 public:
  BatchTree(HWND view, std::unique_ptr<TreeView> remote, BatchViewProvider& provider)
      : view_(view), remote_(std::move(remote)), provider_(provider) {}

  TreeItem NextItem(TreeRelation relation, TreeItem item) override {
    Source source = Use();
    if (source == Source::Lost) return 0;
    if (source == Source::Snapshot && !selected_) {
      switch (relation) {
        case TreeRelation::Root:
          return snapshot_.root;
        case TreeRelation::Caret:
          return snapshot_.caret;
        case TreeRelation::LastVisible:
          return snapshot_.lastVisible;
        case TreeRelation::NextVisible:
        case TreeRelation::PreviousVisible: {
          auto found = positions_.find(item);
          if (found == positions_.end()) break;  // not a visible item: the view knows
          std::size_t at = found->second;
          if (relation == TreeRelation::PreviousVisible) return at == 0 ? 0 : snapshot_.items[at - 1].item;
          return at + 1 < snapshot_.items.size() ? snapshot_.items[at + 1].item : 0;
        }
      }
    }
    return remote_->NextItem(relation, item);
  }

  bool Select(TreeItem item) override {
    if (lost_) return false;
    selected_ = true;  // the caret moved, and with it perhaps what is visible
    return remote_->Select(item);
  }

  bool OpenRecord() override { return !lost_ && remote_->OpenRecord(); }

  bool ItemText(TreeItem item, std::string& text) override {
    Source source = Use();
    if (source == Source::Snapshot) {
      auto found = positions_.find(item);
      if (found != positions_.end()) return snapshot_.Text(found->second, text);
    }
    text.clear();
    if (source == Source::Lost) return false;
    ++provider_.MutableCounters().perItemNames;
    return remote_->ItemText(item, text);
  }

  bool LabelRect(TreeItem item, ItemRect& rect) override { return !lost_ && remote_->LabelRect(item, rect); }

  bool Lost() const override { return lost_ || remote_->Lost(); }

 private:
  Source Use() {
    if (!asked_) {
      asked_ = true;
      switch (provider_.Snapshot(view_, ReadKind::Tree, snapshot_)) {
        case SnapshotResult::Read:
          haveSnapshot_ = true;
          positions_.reserve(snapshot_.items.size());
          for (std::size_t i = 0; i < snapshot_.items.size(); ++i) positions_.emplace(snapshot_.items[i].item, i);
          break;
        case SnapshotResult::Lost:
          lost_ = true;
          break;
        case SnapshotResult::PerItem:
          break;
      }
    }
    if (lost_) return Source::Lost;
    return haveSnapshot_ ? Source::Snapshot : Source::PerItem;
  }

  HWND view_;
  std::unique_ptr<TreeView> remote_;
  BatchViewProvider& provider_;
  ViewSnapshot snapshot_;
  std::unordered_map<TreeItem, std::size_t> positions_;
  bool asked_ = false;
  bool haveSnapshot_ = false;
  bool lost_ = false;
  bool selected_ = false;
};

}  // namespace

BatchViewProvider::BatchViewProvider(std::unique_ptr<ViewReadService> service, ProcessMemoryApi& api,
                                     const ReadWaits& waits)
    : service_(std::move(service)), api_(api), waits_(waits), remote_(api) {}

BatchViewProvider::~BatchViewProvider() = default;

std::string BatchViewProvider::ClassName(ViewHandle view) { return remote_.ClassName(view); }

std::unique_ptr<ListView> BatchViewProvider::OpenList(ViewHandle view) {
  return std::make_unique<BatchList>(ToHwnd(view), OpenRemoteList(ToHwnd(view), api_), *this);
}

std::unique_ptr<TreeView> BatchViewProvider::OpenTree(ViewHandle view) {
  return std::make_unique<BatchTree>(ToHwnd(view), OpenRemoteTree(ToHwnd(view), api_), *this);
}

void BatchViewProvider::LockUpdate(ViewHandle view) { remote_.LockUpdate(view); }

void BatchViewProvider::UnlockUpdate() { remote_.UnlockUpdate(); }

bool BatchViewProvider::IsQuiet(DWORD threadId, DWORD processId) {
  const DWORD now = GetTickCount();
  quiet_.erase(std::remove_if(quiet_.begin(), quiet_.end(), [now](const QuietThread& q) { return now - q.since >= kQuietMs; }),
               quiet_.end());
  return std::any_of(quiet_.begin(), quiet_.end(), [&](const QuietThread& q) {
    return q.threadId == threadId && q.processId == processId;
  });
}

std::uint32_t BatchViewProvider::CapacityFor(HWND view) const {
  auto found = sizeHints_.find(ToViewHandle(view));
  return found != sizeHints_.end() ? found->second : kFirstCapacity;
}

void BatchViewProvider::RememberSize(HWND view, std::size_t answerBytes) {
  if (sizeHints_.size() >= kMaxSizeHints) sizeHints_.clear();
  std::size_t wanted = answerBytes + answerBytes / 4;
  if (wanted < kFirstCapacity) wanted = kFirstCapacity;
  if (wanted > viewread::kMaxCapacity) wanted = viewread::kMaxCapacity;
  sizeHints_[ToViewHandle(view)] = static_cast<std::uint32_t>(wanted);
}

BatchViewProvider::SnapshotResult BatchViewProvider::Snapshot(HWND view, ReadKind kind, ViewSnapshot& snapshot) {
  ++counters_.snapshots;
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(view, &processId);
  if (threadId == 0 || IsQuiet(threadId, processId) || !service_ || !service_->Prepare(view)) {
    ++counters_.notServed;
    return SnapshotResult::PerItem;
  }
  std::uint32_t capacity = CapacityFor(view);
  for (int attempt = 0; attempt < 2; ++attempt) {
    ++counters_.requests;
    std::uint32_t needed = 0;
    switch (ReadWholeView(view, kind, capacity, snapshot, needed, waits_)) {
      case ReadOutcome::Read:
        ++counters_.answers;
        counters_.lastAnswerBytes = snapshot.answerBytes;
        RememberSize(view, snapshot.answerBytes);
        return SnapshotResult::Read;
      case ReadOutcome::TooSmall:
        if (needed > viewread::kMaxCapacity) break;
        // Room for items added meanwhile.
        capacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            static_cast<std::uint64_t>(needed) + needed / 8 + 65536, viewread::kMaxCapacity));
        continue;
      case ReadOutcome::Refused:
        break;
      case ReadOutcome::Ignored:
        // The library's hook is not there any more (or never answered): set it up afresh
        // next time, and read this thread's views item by item meanwhile.
        service_->Forget(view);
        quiet_.push_back({threadId, processId, GetTickCount()});
        break;
      case ReadOutcome::NoAnswer:
        ++counters_.lost;
        return SnapshotResult::Lost;
    }
    break;
  }
  ++counters_.fallbacks;
  return SnapshotResult::PerItem;
}
