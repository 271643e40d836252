#include "view/ShellViews.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "view/BatchReading.h"

namespace {

using batchread::Reading;
using batchread::Source;
using viewread::ChangeOperation;
using viewread::ReadKind;

constexpr std::uint32_t kStateImageShift = 12;
constexpr std::uint32_t kCheckedImage = 2;
constexpr std::uint32_t kUncheckedImage = 1;
// Items deselected one by one while there is no more than one per this many items.
constexpr std::size_t kItemsPerDeselection = 256;

class ShellList final : public ListView {
 public:
  ShellList(HWND view, BatchViewProvider& provider, std::unique_ptr<ListView> fallback)
      : view_(view), provider_(provider), reading_(view, ReadKind::Shell, provider), fallback_(std::move(fallback)) {}
  ~ShellList() override { Flush(); }

  int ItemCount() override {
    switch (Resolve()) {
      case Mode::Shell: return reading_.Items().itemCount;
      case Mode::Fallback: return fallback_->ItemCount();
      case Mode::Lost:
      case Mode::Unknown:
        break;
    }
    return 0;
  }

  int SelectedCount() override {
    switch (Resolve()) {
      case Mode::Shell: return reading_.Items().selectedCount;
      case Mode::Fallback: return fallback_->SelectedCount();
      case Mode::Lost:
      case Mode::Unknown:
        break;
    }
    return 0;
  }

  int FirstSelected() override {
    switch (Resolve()) {
      case Mode::Shell: return reading_.Items().firstSelected;
      case Mode::Fallback: return fallback_->FirstSelected();
      case Mode::Lost:
      case Mode::Unknown:
        break;
    }
    return -1;
  }

  std::uint32_t ItemState(int index, std::uint32_t mask) override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->ItemState(index, mask);
    if (mode != Mode::Shell || index < 0 || index >= reading_.Items().itemCount) return 0;
    std::uint32_t state = 0;
    auto changed = changed_.find(index);
    if (changed != changed_.end()) {
      state = changed->second;
    } else if (!allDeselected_ || !(mask & kLvisSelected)) {
      if (!Have(index)) return 0;
      state = reading_.Items().items[static_cast<std::size_t>(index)].state & (kLvisSelected | kLvisFocused);
      if (allDeselected_) state &= ~kLvisSelected;
    }
    if (CheckBoxes()) state |= ((state & kLvisSelected) ? kCheckedImage : kUncheckedImage) << kStateImageShift;
    return state & mask;
  }

  std::uint32_t ExtendedStyle() override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->ExtendedStyle();
    return mode == Mode::Shell && CheckBoxes() ? kLvsExCheckBoxes : 0;
  }

  // Check boxes of a shell view are a folder flag; a view that does not offer the flag
  // answers with a beep.
  void SetExtendedStyle(std::uint32_t style) override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->SetExtendedStyle(style);
    if (mode != Mode::Shell) return;
    reading_.Stop();
    const std::uint32_t flags = (style & kLvsExCheckBoxes) ? viewread::kFolderCheckSelect : 0;
    if (Send(viewread::kFolderCheckSelect, flags, {}) != ReadOutcome::Read) MessageBeep(0);
  }

  bool EnsureVisible(int index) override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->EnsureVisible(index);
    if (mode != Mode::Shell) return false;
    for (auto it = operations_.rbegin(); it != operations_.rend(); ++it) {
      if (static_cast<int>(it->position) == index) {
        it->flags |= viewread::kSelectEnsureVisible;
        return true;
      }
    }
    // Without a selection change of its own the item keeps its selection.
    const bool selected = ItemState(index, kLvisSelected) != 0;
    operations_.push_back({static_cast<std::uint32_t>(index),
                           (selected ? viewread::kSelectSelect : viewread::kSelectDeselect) |
                               viewread::kSelectEnsureVisible});
    return true;
  }

  bool OpenRecord() override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->OpenRecord();
    return mode == Mode::Shell;
  }

  bool ItemText(int index, std::string& text) override {
    text.clear();
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->ItemText(index, text);
    if (mode != Mode::Shell || index < 0 || !Have(index)) return false;
    return reading_.Items().Text(static_cast<std::size_t>(index), text);
  }

  bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->SetItemState(index, state, mask);
    if (mode != Mode::Shell) return false;
    if (index == kAllItems) {
      if ((mask & kLvisSelected) && !(state & kLvisSelected)) {
        allDeselected_ = true;
        deselectOthers_ = true;
        for (auto& entry : changed_) entry.second &= ~kLvisSelected;
      }
      return true;
    }
    if (index < 0 || index >= reading_.Items().itemCount) return false;
    std::uint32_t now = ItemState(index, kLvisSelected | kLvisFocused);
    if (mask & kLvisSelected) now = (now & ~kLvisSelected) | (state & kLvisSelected);
    if (mask & kLvisStateImageMask) {
      // A check mark is the selection.
      const std::uint32_t image = (state & kLvisStateImageMask) >> kStateImageShift;
      now = (now & ~kLvisSelected) | (image == kCheckedImage ? kLvisSelected : 0);
    }
    std::uint32_t flags = (now & kLvisSelected) ? viewread::kSelectSelect : viewread::kSelectDeselect;
    if ((mask & kLvisFocused) && (state & kLvisFocused)) {
      flags |= viewread::kSelectFocused;
      for (auto& entry : changed_) entry.second &= ~kLvisFocused;
      now |= kLvisFocused;
      reading_.Stop();  // the focus moves last: the walk is over
    }
    changed_[index] = now;
    operations_.push_back({static_cast<std::uint32_t>(index), flags});
    return true;
  }

  bool LabelRect(int index, ItemRect& rect) override {
    Mode mode = Resolve();
    if (mode == Mode::Fallback) return fallback_->LabelRect(index, rect);
    if (mode != Mode::Shell) return false;
    Flush();
    if (!haveRect_ || rectIndex_ != index) return false;
    rect = rect_;
    return true;
  }

  bool ConfirmName(int index, const std::string& name) override {
    return mode_ != Mode::Fallback || fallback_->ConfirmName(index, name);
  }
  bool ConfirmNone() override { return mode_ != Mode::Fallback || fallback_->ConfirmNone(); }

  bool Lost() const override {
    if (mode_ == Mode::Fallback) return fallback_->Lost();
    return mode_ == Mode::Lost || lost_ || reading_.IsLost();
  }

 private:
  enum class Mode { Unknown, Shell, Fallback, Lost };

  Mode Resolve() {
    if (mode_ == Mode::Unknown) {
      switch (reading_.Use()) {
        case Source::Snapshot: mode_ = Mode::Shell; break;
        case Source::PerItem: mode_ = fallback_ ? Mode::Fallback : Mode::Lost; break;
        case Source::Lost: mode_ = Mode::Lost; break;
      }
    }
    if (mode_ == Mode::Shell && (lost_ || reading_.IsLost())) return Mode::Lost;
    return mode_;
  }

  bool CheckBoxes() { return (reading_.Items().shellFlags & viewread::kShellCheckBoxes) != 0; }

  // Waits for the record of `index`; a shell view's names come from no other source,
  // so an answer that ends short loses the operation.
  bool Have(int index) {
    if (reading_.Have(static_cast<std::size_t>(index) + 1)) return true;
    if (!reading_.Complete()) lost_ = true;
    return false;
  }

  ReadOutcome Send(std::uint32_t folderFlagsMask, std::uint32_t folderFlags,
                   const std::vector<ChangeOperation>& operations) {
    ViewRead change(view_, ReadKind::ShellChange, provider_.RequestKey(), provider_.Waits());
    ReadOutcome outcome = change.Change(reading_.Items().generation, folderFlagsMask, folderFlags, operations);
    if (outcome == ReadOutcome::NoAnswer) lost_ = true;
    if (outcome == ReadOutcome::Read) haveRect_ = change.ChangedRect(rect_);
    return outcome;
  }

  // The places selected when the names were read, when they are known without waiting
  // for more of the answer: the first selected one alone, or every record there.
  bool SelectedBefore(std::vector<std::uint32_t>& places) {
    const ViewSnapshot& items = reading_.Items();
    if (items.selectedCount == 1 && items.firstSelected >= 0) {
      places.push_back(static_cast<std::uint32_t>(items.firstSelected));
      return true;
    }
    if (items.items.size() < static_cast<std::size_t>(items.itemCount)) return false;
    for (std::size_t i = 0; i < items.items.size(); ++i) {
      if (items.items[i].state & kLvisSelected) places.push_back(static_cast<std::uint32_t>(i));
    }
    return places.size() == static_cast<std::size_t>(items.selectedCount);
  }

  // Sends the collected selection changes as one request. "Deselect every item" becomes
  // one deselection per item selected before while there are few (a shell view may go
  // through all its items to deselect the others: 12 ms for 10,000 under Wine), else
  // "deselect the others" on the first item selected.
  void Flush() {
    if (mode_ != Mode::Shell || lost_ || reading_.IsLost()) return;
    if (operations_.empty() && !deselectOthers_) return;
    reading_.Stop();
    if (deselectOthers_) {
      deselectOthers_ = false;
      std::vector<std::uint32_t> before;
      const std::size_t count = static_cast<std::size_t>(reading_.Items().itemCount);
      auto firstSelect = std::find_if(operations_.begin(), operations_.end(), [](const ChangeOperation& o) {
        return (o.flags & viewread::kSelectSelect) != 0;
      });
      if (SelectedBefore(before) && (before.size() * kItemsPerDeselection <= count || firstSelect == operations_.end())) {
        std::vector<ChangeOperation> deselections;
        for (std::uint32_t place : before) deselections.push_back({place, viewread::kSelectDeselect});
        operations_.insert(operations_.begin(), deselections.begin(), deselections.end());
      } else if (firstSelect != operations_.end()) {
        firstSelect->flags |= viewread::kSelectDeselectOthers;
      }
    }
    rectIndex_ = -1;
    for (const auto& operation : operations_) {
      if (operation.flags & viewread::kSelectFocused) rectIndex_ = static_cast<int>(operation.position);
    }
    std::vector<ChangeOperation> operations;
    operations.swap(operations_);
    // A view that changed since the names were read refuses: the step ends as lost.
    if (Send(0, 0, operations) != ReadOutcome::Read) lost_ = true;
  }

  HWND view_;
  BatchViewProvider& provider_;
  Reading reading_;
  std::unique_ptr<ListView> fallback_;
  Mode mode_ = Mode::Unknown;
  bool lost_ = false;
  bool allDeselected_ = false;
  bool deselectOthers_ = false;
  std::unordered_map<int, std::uint32_t> changed_;
  std::vector<ChangeOperation> operations_;
  bool haveRect_ = false;
  int rectIndex_ = -1;
  ItemRect rect_;
};

}  // namespace

std::unique_ptr<ListView> OpenShellList(HWND view, BatchViewProvider& provider, std::unique_ptr<ListView> fallback) {
  return std::make_unique<ShellList>(view, provider, std::move(fallback));
}
