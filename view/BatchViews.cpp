#include "view/BatchViews.h"

#include <algorithm>

#include "tapline/ClassList.h"
#include "view/BatchReading.h"
#include "view/ShellViews.h"

namespace {

using batchread::Reading;
using batchread::Source;
using viewread::ReadKind;

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

// What a request that changes the view came to.
enum class ChangeResult {
  Done,      // carried out
  Lost,      // the view did not answer: the step gives up (counted)
  Declined,  // refused or not served: the caller makes the change another way
};

ChangeResult ResultOf(ReadOutcome outcome, BatchCounters& counters) {
  switch (outcome) {
    case ReadOutcome::Read:
      return ChangeResult::Done;
    case ReadOutcome::NoAnswer:
      ++counters.lost;
      return ChangeResult::Lost;
    case ReadOutcome::TooSmall:
    case ReadOutcome::Refused:
    case ReadOutcome::Ignored:
      break;
  }
  return ChangeResult::Declined;
}

class BatchList final : public ListView {
 public:
  BatchList(HWND view, std::unique_ptr<ListView> remote, BatchViewProvider& provider)
      : view_(view), remote_(std::move(remote)), provider_(provider), reading_(view, ReadKind::List, provider) {}
  ~BatchList() override { Flush(); }

  int ItemCount() override {
    switch (reading_.Use()) {
      case Source::Snapshot:
        return reading_.Items().itemCount;
      case Source::PerItem:
        return Remote().ItemCount();
      case Source::Lost:
        break;
    }
    return 0;
  }

  int SelectedCount() override {
    Source source = StateSource();
    if (source == Source::Snapshot) return reading_.Items().selectedCount;
    return source == Source::PerItem ? Remote().SelectedCount() : 0;
  }

  int FirstSelected() override {
    Source source = StateSource();
    if (source == Source::Snapshot) return reading_.Items().firstSelected;
    return source == Source::PerItem ? Remote().FirstSelected() : -1;
  }

  std::uint32_t ItemState(int index, std::uint32_t mask) override {
    Source source = StateSource();
    if (source == Source::Snapshot && index >= 0 && index < reading_.Items().itemCount) {
      // Up to the first selected item the selection is known without the records.
      const int first = reading_.Items().firstSelected;
      if (mask == kLvisSelected && (first < 0 || index <= first)) return index == first ? kLvisSelected : 0;
      if ((mask & ~viewread::kListStateMask) == 0 && reading_.Have(static_cast<std::size_t>(index) + 1)) {
        return reading_.Items().items[static_cast<std::size_t>(index)].state & mask;
      }
      source = StateSource();
    }
    return source == Source::Lost ? 0 : Remote().ItemState(index, mask);
  }

  std::uint32_t ExtendedStyle() override { return Remote().ExtendedStyle(); }

  void SetExtendedStyle(std::uint32_t style) override {
    reading_.Stop();
    statesChanged_ = true;  // the check boxes come or go with their state images
    Remote().SetExtendedStyle(style);
  }

  bool EnsureVisible(int index) override {
    reading_.Stop();
    if (Lost()) return false;
    if (!changes_.empty() && changes_.back().position == static_cast<std::uint32_t>(index)) {
      // The end of a walk: its whole change goes now, in one request.
      changes_.back().flags |= viewread::kSelectEnsureVisible;
      return Flush();
    }
    return Remote().EnsureVisible(index);
  }

  bool OpenRecord() override { return !Lost() && remote_->OpenRecord(); }

  bool ItemText(int index, std::string& text) override {
    Source source = reading_.Use();
    if (source == Source::Snapshot && index >= 0) {
      const auto at = static_cast<std::size_t>(index);
      if (const ViewSnapshot* kept = Kept()) {
        if (at < reading_.Items().items.size()) {
          // The answer has it already: the view's own name, and a check of the kept one.
          const bool has = reading_.Items().Text(at, text);
          std::string keptText;
          if (kept->Text(at, keptText) != has || keptText != text) DropKept();
          return has;
        }
        if (kept->Text(at, text)) {
          if (!usedKept_) ++provider_.MutableCounters().keptNames;
          usedKept_ = true;
          reading_.UsedKeptNames();
          return true;
        }
      }
      if (reading_.Have(at + 1)) return reading_.Items().Text(at, text);
    }
    text.clear();
    if (reading_.Use() == Source::Lost) return false;
    ++provider_.MutableCounters().perItemNames;
    return Remote().ItemText(index, text);
  }

  bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) override {
    if (Lost()) return false;
    if (mask & kLvisFocused) reading_.Stop();  // the focus moves last: the walk is over
    if (index == kAllItems && state == 0 && mask == kLvisSelected && StateSource() == Source::Snapshot) {
      // Sent with the next message: now it would wait for the view's thread to finish
      // reading, and the walk could not match names meanwhile.
      const ViewSnapshot& items = reading_.Items();
      pending_ = {true, items.itemCount, items.selectedCount, items.firstSelected};
      statesChanged_ = true;
      return true;
    }
    if (CanHoldBack(index, state, mask)) {
      statesChanged_ = true;
      std::uint32_t flags = (state & kLvisSelected) ? viewread::kSelectSelect : viewread::kSelectDeselect;
      if (mask & kLvisFocused) flags |= viewread::kSelectFocused;
      changes_.push_back({static_cast<std::uint32_t>(index), flags});
      return true;
    }
    statesChanged_ = true;
    return Remote().SetItemState(index, state, mask);
  }

  bool LabelRect(int index, ItemRect& rect) override {
    reading_.Stop();
    if (Lost() || !Flush()) return false;
    if (changedRectIndex_ >= 0 && changedRectIndex_ == index) {
      rect = changedRect_;
      return true;
    }
    return Remote().LabelRect(index, rect);
  }

  bool ConfirmName(int index, const std::string& name) override {
    if (usedKept_ && !kept_) {
      // The walk went by kept names that turned out to be out of date: again, by the
      // view's own.
      usedKept_ = false;
      return false;
    }
    if (!kept_ || index < 0) return true;
    const auto at = static_cast<std::size_t>(index);
    std::string live;
    bool has = false;
    bool stopped = false;
    if (reading_.Use() == Source::Snapshot && at < reading_.Items().items.size()) {
      has = reading_.Items().Text(at, live);
    } else {
      // One message, once the view's thread has stopped reading (within 64 names).
      reading_.Stop();
      stopped = true;
      if (Lost()) return true;
      ++provider_.MutableCounters().keptChecks;
      has = remote_->ItemText(index, live);
      if (Lost()) return true;
    }
    if (has && live == name) return true;
    DropKept();
    usedKept_ = false;
    if (stopped) reading_.Restart();
    return false;
  }

  bool ConfirmNone() override {
    if (!usedKept_ || kept_) return true;  // kept names still trusted are trusted for this too
    usedKept_ = false;
    return false;
  }

  bool Lost() const override { return reading_.IsLost() || changeLost_ || remote_->Lost(); }

 private:
  // The names kept from an earlier answer for this view, when they may stand in for
  // names this answer has not brought yet.
  const ViewSnapshot* Kept() {
    if (!keptChecked_ && reading_.Use() == Source::Snapshot) {
      keptChecked_ = true;
      kept_ = provider_.KeptNames(view_, reading_.Items().itemCount);
    }
    return kept_;
  }

  void DropKept() {
    if (!kept_) return;
    kept_ = nullptr;
    ++provider_.MutableCounters().keptStale;
    provider_.DropKeptNames();
  }

  // States are taken from the answer until this view changes one.
  Source StateSource() {
    Source source = reading_.Use();
    return source == Source::Snapshot && statesChanged_ ? Source::PerItem : source;
  }

  // The per-item reader, with the changes still held back sent first, so the view sees
  // every change in the order the caller made it.
  ListView& Remote() {
    Flush();
    changedRectIndex_ = -1;  // what follows may move the item
    return *remote_;
  }

  // A selection change of an item of the answer, made with one message per item: held
  // back and sent with the rest of the walk's change as one request, carried out by the
  // library on the view's thread (one round trip instead of one per message, and the
  // view does not repaint between them). Taking the focus away is not held back.
  bool CanHoldBack(int index, std::uint32_t state, std::uint32_t mask) {
    if (index < 0 || (mask & ~(kLvisSelected | kLvisFocused)) != 0 || !(mask & kLvisSelected)) return false;
    if ((mask & kLvisFocused) && !(state & kLvisFocused)) return false;
    return reading_.Use() == Source::Snapshot && index < reading_.Items().itemCount;
  }

  // Sends what is held back: the deselection of every item and the changes, in one
  // request when there are changes; a list that changed its count since the answer, or
  // a library that declines, gets the same messages one by one. False when the view is
  // lost.
  bool Flush() {
    if (changes_.empty()) {
      SendPendingDeselect();
      return !Lost();
    }
    std::vector<viewread::ChangeOperation> changes;
    changes.swap(changes_);
    const PendingDeselect deselect = pending_;
    std::vector<viewread::ChangeOperation> request;
    if (deselect.deselect && deselect.selectedCount == 1 && deselect.firstSelected >= 0) {
      // The one item selected when the names were read goes first, so that as a rule the
      // library finds nothing left to deselect.
      request.push_back({static_cast<std::uint32_t>(deselect.firstSelected), viewread::kSelectDeselect});
    }
    const std::size_t walkStart = request.size();
    request.insert(request.end(), changes.begin(), changes.end());
    // The library deselects whatever is still selected before the walk's first change.
    if (deselect.deselect) request[walkStart].flags |= viewread::kSelectDeselectOthers;
    pending_.deselect = false;
    changedRectIndex_ = -1;
    // (A step that found its kept names out of date asked anew; without an answer now,
    // the changes go as messages.)
    ViewRead change(view_, ReadKind::ListChange, provider_.RequestKey(), provider_.Waits());
    const ReadOutcome outcome =
        reading_.Use() == Source::Snapshot
            ? change.Change(static_cast<std::uint32_t>(reading_.Items().itemCount), 0, 0, request)
            : ReadOutcome::Refused;
    switch (ResultOf(outcome, provider_.MutableCounters())) {
      case ChangeResult::Done:
        ++provider_.MutableCounters().listChanges;
        for (const auto& operation : changes) {
          if (operation.flags & viewread::kSelectFocused) changedRectIndex_ = static_cast<int>(operation.position);
        }
        if (changedRectIndex_ >= 0 && !change.ChangedRect(changedRect_)) changedRectIndex_ = -1;
        return true;
      case ChangeResult::Lost:
        changeLost_ = true;
        return false;
      case ChangeResult::Declined:
        break;
    }
    pending_ = deselect;
    SendPendingDeselect();
    for (const auto& operation : changes) {
      if (Lost()) return false;
      const std::uint32_t mask = kLvisSelected | ((operation.flags & viewread::kSelectFocused) ? kLvisFocused : 0);
      const std::uint32_t state = ((operation.flags & viewread::kSelectSelect) ? kLvisSelected : 0) |
                                  (mask & kLvisFocused);
      remote_->SetItemState(static_cast<int>(operation.position), state, mask);
      if (operation.flags & viewread::kSelectEnsureVisible) remote_->EnsureVisible(static_cast<int>(operation.position));
    }
    return !Lost();
  }

  // Every item ends deselected, as after LVM_SETITEMSTATE with index -1: with few items
  // selected, one message each for them instead of one that makes the view go through
  // all its items, and one more that asks the view whether any is still selected.
  void SendPendingDeselect() {
    if (!pending_.deselect) return;
    pending_.deselect = false;
    if (Lost()) return;
    const std::size_t count = static_cast<std::size_t>(pending_.itemCount);
    const std::size_t selectedCount = static_cast<std::size_t>(pending_.selectedCount);
    std::vector<int> selected;
    if (selectedCount == 1 && pending_.firstSelected >= 0) {
      selected.push_back(pending_.firstSelected);
    } else if (selectedCount > 1 && selectedCount * kItemsPerDeselectMessage <= count &&
               reading_.Use() == Source::Snapshot && reading_.Have(count)) {
      const auto& items = reading_.Items().items;
      for (std::size_t i = 0; i < count && i < items.size(); ++i) {
        if (items[i].state & kLvisSelected) selected.push_back(static_cast<int>(i));
      }
    }
    if (selected.empty() || selected.size() != selectedCount) {
      remote_->SetItemState(kAllItems, 0, kLvisSelected);
      return;
    }
    for (int index : selected) {
      remote_->SetItemState(index, 0, kLvisSelected);
      if (remote_->Lost()) return;
    }
    // The indices are the answer's: if the view changed since (a folder refreshed, a
    // selection made meanwhile), they were other items. The view's own count tells.
    if (remote_->SelectedCount() != 0 && !remote_->Lost()) remote_->SetItemState(kAllItems, 0, kLvisSelected);
  }

  // A deselection of every item held back, with what the answer said when it was asked for.
  struct PendingDeselect {
    bool deselect = false;
    int itemCount = 0;
    int selectedCount = 0;
    int firstSelected = -1;
  };

  HWND view_;
  std::unique_ptr<ListView> remote_;
  BatchViewProvider& provider_;
  Reading reading_;
  const ViewSnapshot* kept_ = nullptr;  // the provider's, while it lets this step use them
  bool keptChecked_ = false;
  bool usedKept_ = false;
  bool statesChanged_ = false;
  PendingDeselect pending_;
  std::vector<viewread::ChangeOperation> changes_;
  bool changeLost_ = false;
  int changedRectIndex_ = -1;  // the item whose label rectangle the last change told
  ItemRect changedRect_;
};

class BatchTree final : public TreeView {
 public:
  BatchTree(HWND view, std::unique_ptr<TreeView> remote, BatchViewProvider& provider)
      : view_(view), remote_(std::move(remote)), provider_(provider), reading_(view, ReadKind::Tree, provider) {}

  TreeItem NextItem(TreeRelation relation, TreeItem item) override {
    Source source = reading_.Use();
    if (source == Source::Lost) return 0;
    if (source == Source::Snapshot && !selected_) {
      const ViewSnapshot& items = reading_.Items();
      switch (relation) {
        case TreeRelation::Root:
          return items.root;
        case TreeRelation::Caret:
          return items.caret;
        case TreeRelation::LastVisible:
          return items.lastVisible;
        case TreeRelation::NextVisible:
        case TreeRelation::PreviousVisible: {
          std::size_t at = 0;
          if (!Find(item, at)) break;  // not a visible item: the view knows
          if (relation == TreeRelation::PreviousVisible) return at == 0 ? 0 : reading_.Items().items[at - 1].item;
          if (reading_.Have(at + 2)) return reading_.Items().items[at + 1].item;
          if (reading_.Complete()) return 0;  // the last visible item
          break;
        }
      }
      if (reading_.Use() == Source::Lost) return 0;
    }
    return remote_->NextItem(relation, item);
  }

  bool Select(TreeItem item) override {
    if (Lost()) return false;
    std::size_t at = 0;
    const bool fromAnswer = reading_.Use() == Source::Snapshot && Find(item, at);
    std::string text;
    const bool hasText = fromAnswer && reading_.Items().Text(at, text);
    reading_.Stop();
    selected_ = true;  // the caret moved, and with it perhaps what is visible
    if (!fromAnswer) return remote_->Select(item);
    // The handle is the answer's: the tree may have deleted that item since, and a
    // handle the tree view never handed out again must not reach it. The library finds
    // it among the tree's visible items, with the name it had, before it selects it.
    ViewRead select(view_, ReadKind::TreeSelect, provider_.RequestKey(), provider_.Waits());
    ++provider_.MutableCounters().treeSelects;
    switch (ResultOf(select.SelectTreeItem(item, hasText, text), provider_.MutableCounters())) {
      case ChangeResult::Done:
        return true;
      case ChangeResult::Lost:
        lost_ = true;
        return false;
      case ChangeResult::Declined:
        break;
    }
    refused_ = item;  // gone or changed: no caret, and no rectangle for it
    return false;
  }

  bool OpenRecord() override { return !Lost() && remote_->OpenRecord(); }

  bool ItemText(TreeItem item, std::string& text) override {
    std::size_t at = 0;
    if (reading_.Use() == Source::Snapshot && Find(item, at)) return reading_.Items().Text(at, text);
    text.clear();
    if (reading_.Use() == Source::Lost) return false;
    ++provider_.MutableCounters().perItemNames;
    return remote_->ItemText(item, text);
  }

  bool LabelRect(TreeItem item, ItemRect& rect) override {
    reading_.Stop();
    return !Lost() && item != refused_ && remote_->LabelRect(item, rect);
  }

  bool Lost() const override { return lost_ || reading_.IsLost() || remote_->Lost(); }

 private:
  // The item's place in display order, waiting for more of the answer while it has not
  // come yet; false when the answer ends without it.
  bool Find(TreeItem item, std::size_t& at) {
    for (;;) {
      if (reading_.Use() != Source::Snapshot) return false;
      if (generation_ != reading_.Generation()) {
        generation_ = reading_.Generation();
        positions_.clear();
        indexed_ = 0;
      }
      const auto& items = reading_.Items().items;
      for (; indexed_ < items.size(); ++indexed_) positions_.emplace(items[indexed_].item, indexed_);
      auto found = positions_.find(item);
      if (found != positions_.end()) {
        at = found->second;
        return true;
      }
      if (reading_.Complete() || !reading_.Have(items.size() + 1)) return false;
    }
  }

  HWND view_;
  std::unique_ptr<TreeView> remote_;
  BatchViewProvider& provider_;
  Reading reading_;
  std::unordered_map<TreeItem, std::size_t> positions_;
  std::size_t indexed_ = 0;
  unsigned generation_ = 0;
  bool selected_ = false;
  bool lost_ = false;         // the view did not answer the selection
  TreeItem refused_ = 0;      // an answer's item the tree no longer holds as it was
};

}  // namespace

BatchViewProvider::BatchViewProvider(std::unique_ptr<ViewReadService> service, ProcessMemoryApi& api,
                                     const ReadWaits& waits)
    : service_(std::move(service)), api_(api), waits_(waits), remote_(api) {}

BatchViewProvider::~BatchViewProvider() = default;

std::string BatchViewProvider::ClassName(ViewHandle view) { return remote_.ClassName(view); }

std::unique_ptr<ListView> BatchViewProvider::OpenList(ViewHandle view) {
  if (!shellClasses_.empty()) {
    const std::string className = ClassName(view);
    if (classlist::Contains(className.c_str(), shellClasses_.c_str())) {
      std::unique_ptr<ListView> fallback;
      if (classlist::Contains(className.c_str(), listClasses_.c_str())) {
        fallback = std::make_unique<BatchList>(ToHwnd(view), OpenRemoteList(ToHwnd(view), api_), *this);
      }
      return OpenShellList(ToHwnd(view), *this, std::move(fallback));
    }
  }
  return std::make_unique<BatchList>(ToHwnd(view), OpenRemoteList(ToHwnd(view), api_), *this);
}

void BatchViewProvider::SetShellViewClasses(const std::string& shellClasses, const std::string& listClasses) {
  shellClasses_ = shellClasses;
  listClasses_ = listClasses;
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

std::unique_ptr<ViewRead> BatchViewProvider::StartRead(HWND view, ReadKind kind, bool& lost) {
  // The view's thread is wanted for this read now. A list read in the background may
  // have ended since it was last asked.
  if (readingOn_ && readingOn_->Kind() == ReadKind::List && readingOn_->Poll() == ReadOutcome::Read) {
    KeepListNames(readingOnView_, *readingOn_);
  }
  readingOn_.reset();
  ++counters_.snapshots;
  lost = false;
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(view, &processId);
  if (threadId == 0 || IsQuiet(threadId, processId) || !service_ || !service_->Prepare(view)) {
    ++counters_.notServed;
    return nullptr;
  }
  auto read = std::make_unique<ViewRead>(view, kind, RequestKey(), waits_);
  ++counters_.requests;
  switch (read->Begin(CapacityFor(view))) {
    case ReadOutcome::Read:
      ++counters_.answers;
      return read;
    case ReadOutcome::TooSmall:
      return ReadAgain(view, kind, read->Needed(), lost);
    case ReadOutcome::Ignored:
      // The library's hook is not there any more (or never answered): set it up afresh
      // next time, and read this thread's views item by item meanwhile.
      service_->Forget(view);
      quiet_.push_back({threadId, processId, GetTickCount()});
      break;
    case ReadOutcome::NoAnswer:
      ++counters_.lost;
      lost = true;
      return nullptr;
    case ReadOutcome::Refused:
      if (read->Busy()) return GiveUpBusy(lost);
      break;
  }
  ++counters_.fallbacks;
  return nullptr;
}

std::unique_ptr<ViewRead> BatchViewProvider::GiveUpBusy(bool& lost) {
  // The step ends as if the view had not answered (nothing changes, no beep); the next
  // keystroke asks again, once the share has grown back.
  ++counters_.busy;
  lost = true;
  return nullptr;
}

std::unique_ptr<ViewRead> BatchViewProvider::ReadAgain(HWND view, ReadKind kind, std::uint32_t needed, bool& lost) {
  lost = false;
  if (needed == 0 || needed > viewread::kMaxCapacity) {
    ++counters_.fallbacks;
    return nullptr;
  }
  // Room for items added meanwhile.
  const auto capacity = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(needed) + needed / 8 + 65536, viewread::kMaxCapacity));
  auto read = std::make_unique<ViewRead>(view, kind, RequestKey(), waits_);
  ++counters_.requests;
  switch (read->Begin(capacity)) {
    case ReadOutcome::Read:
      RememberSize(view, capacity);
      return read;
    case ReadOutcome::NoAnswer:
      ++counters_.lost;
      lost = true;
      return nullptr;
    case ReadOutcome::Refused:
      if (read->Busy()) return GiveUpBusy(lost);
      break;
    case ReadOutcome::TooSmall:
    case ReadOutcome::Ignored:
      break;
  }
  ++counters_.fallbacks;
  return nullptr;
}

void BatchViewProvider::Finished(HWND view, ViewRead& read, bool usedKeptNames) {
  if (read.Kind() == ReadKind::Shell && read.SummaryArrived()) {
    lastKeyAt_ = GetTickCount();
    NoteShellAnswer(view, read);
  }
  counters_.lastAnswerBytes = read.Snapshot().answerBytes;
  counters_.shellNamesRead += read.Snapshot().namesRead;
  if (read.Snapshot().shellFlags & viewread::kShellIdsTrusted) ++counters_.idsTrusted;
  if (read.Complete()) RememberSize(view, read.Snapshot().answerBytes);
  if (read.Kind() == ReadKind::List) {
    NoteListAnswer(view, read, usedKeptNames);  // last: it may take the answer's names
    return;
  }
  if (read.Kind() != ReadKind::Shell || read.Complete() || !(read.Snapshot().shellFlags & viewread::kShellNamesPending)) {
    return;
  }
  if (ReadInBackground(view, ReadKind::Shell)) ++counters_.readsOn;
}

const ViewSnapshot* BatchViewProvider::KeptNames(HWND view, int itemCount) const {
  if (!keptNames_ || keptNames_->view != view || keptNames_->names.itemCount != itemCount) return nullptr;
  return GetTickCount() - keptNames_->at < namesTrustedMs_ ? &keptNames_->names : nullptr;
}

bool BatchViewProvider::KeepListNames(HWND view, ViewRead& read) {
  ViewSnapshot& answer = read.Snapshot();
  if (!keepListNames_ || !read.Complete() || answer.itemCount <= 0 ||
      answer.items.size() != static_cast<std::size_t>(answer.itemCount)) {
    return false;
  }
  auto kept = std::make_unique<Kept>();
  kept->view = view;
  kept->at = GetTickCount();
  kept->names = std::move(answer);  // the read is over: its answer is not used again
  keptNames_ = std::move(kept);
  ++counters_.namesKept;
  return true;
}

void BatchViewProvider::NoteListAnswer(HWND view, ViewRead& read, bool usedKeptNames) {
  if (!keepListNames_ || KeepListNames(view, read) || !read.SummaryArrived() || read.Snapshot().itemCount <= 0) return;
  // Read whole while the view's thread is free: the next keys match kept names. While
  // keys keep coming, at most every half of the time they are trusted.
  if (usedKeptNames && keptNames_ && GetTickCount() - keptNames_->at < namesTrustedMs_ / 2) return;
  ReadInBackground(view, ReadKind::List);
}

bool BatchViewProvider::ReadInBackground(HWND view, ReadKind kind) {
  auto read = std::make_unique<ViewRead>(view, kind, RequestKey(), waits_);
  if (read->Post(CapacityFor(view)) != ReadOutcome::Read) return false;
  readingOn_ = std::move(read);
  readingOnView_ = view;
  readingOnSince_ = GetTickCount();
  return true;
}

bool BatchViewProvider::ContinueReadingOn() {
  if (!readingOn_) return false;
  // A view that was closed ends it at once. A complete answer teaches the view's answer
  // size, as a step's does.
  const ReadOutcome outcome = IsWindow(readingOnView_) ? readingOn_->Poll() : ReadOutcome::NoAnswer;
  if (outcome == ReadOutcome::Read && readingOn_->Kind() == ReadKind::Shell && readingOn_->SummaryArrived()) {
    NoteShellAnswer(readingOnView_, *readingOn_);
  }
  if (outcome == ReadOutcome::Read && readingOn_->Complete()) {
    RememberSize(readingOnView_, readingOn_->Snapshot().answerBytes);
    if (readingOn_->Kind() == ReadKind::List) KeepListNames(readingOnView_, *readingOn_);
  }
  // Given up after a request's whole time: the view's thread may be busy with its own
  // work, and the next step reads on from where this one stopped.
  if (outcome != ReadOutcome::Read || readingOn_->Complete() || GetTickCount() - readingOnSince_ >= waits_.requestMs) {
    readingOn_.reset();
    return false;
  }
  return true;
}

void BatchViewProvider::NoteShellAnswer(HWND view, const ViewRead& read) {
  if (view != warmView_) {
    warmView_ = view;
    warmTrusted_ = false;
    idsTakenAt_ = GetTickCount();  // not known for another view: a moment from now at the latest
  }
  if (read.Snapshot().shellFlags & viewread::kShellIdsTrusted) {
    warmTrusted_ = true;
  } else {
    idsTakenAt_ = GetTickCount();
  }
}

DWORD BatchViewProvider::KeepWarmDelay() const {
  // A view whose IDs the library never trusted (a virtual folder, a folder just written
  // to) would only be read again for nothing.
  if (!warmView_ || !warmTrusted_) return 0;
  const DWORD now = GetTickCount();
  if (now - lastKeyAt_ >= kKeepWarmMs) return 0;
  // Just after the library's moment is over (its clock is this one; the margin covers
  // the timer's granularity), and never more often than twice a second.
  constexpr DWORD kMarginMs = 50;
  constexpr DWORD kSpacingMs = 500;
  const LONG untilOver = static_cast<LONG>(idsTakenAt_ + kIdsTrustedMs + kMarginMs - now);
  const LONG untilSpaced = static_cast<LONG>(lastWarmAt_ + kSpacingMs - now);
  const LONG wait = std::max(untilOver, untilSpaced);
  return wait > 0 ? static_cast<DWORD>(wait) : 1;
}

void BatchViewProvider::KeepWarm() {
  if (readingOn_ || KeepWarmDelay() != 1 || !IsWindow(warmView_)) return;
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(warmView_, &processId);
  if (threadId == 0 || IsQuiet(threadId, processId) || !service_ || !service_->Prepare(warmView_)) return;
  lastWarmAt_ = GetTickCount();
  if (ReadInBackground(warmView_, ReadKind::Shell)) ++counters_.keptWarm;
}
