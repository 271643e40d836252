#include "view/RemoteViews.h"

#include <commctrl.h>

#include <cstring>
#include <limits>

#include "view/ItemRecords.h"
#include "view/ViewChannel.h"

namespace {

using records::kItemTextMax;

// A NUL-terminated text of at most size - 1 bytes, also when the terminator is missing.
// A view cuts a long name at a byte count, which may leave the lead byte of a
// double-byte character without its second byte: that half character is dropped.
std::string BoundedText(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return std::string();
  const char* text = reinterpret_cast<const char*>(bytes);
  const void* nul = std::memchr(text, 0, size);
  std::size_t length = nul ? static_cast<const char*>(nul) - text : size - 1;
  std::size_t at = 0;
  while (at < length) {
    if (!IsDBCSLeadByte(static_cast<BYTE>(text[at]))) {
      ++at;
    } else if (at + 1 < length) {
      at += 2;
    } else {
      length = at;
    }
  }
  return std::string(text, length);
}

int ToCount(LRESULT answer) {
  if (answer < 0) return 0;
  if (static_cast<unsigned long long>(answer) > static_cast<unsigned long long>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  return static_cast<int>(answer);
}

// The item record and its text area in the view's process, shared by the list and the
// tree reader. Record is one of the layouts in ItemRecords.h.
template <typename Record>
class RecordBlock {
 public:
  RecordBlock(ViewChannel& channel, ProcessMemoryApi& api) : channel_(channel), api_(api) {}

  bool Open() {
    block_.reset();
    if (channel_.Lost()) return false;
    auto block = std::make_unique<SharedMemT<Record>>(channel_.Window(),
                                                      static_cast<DWORD>(sizeof(Record) + kItemTextMax), api_);
    if (!block->IsReady()) return false;
    // A 32-bit view takes only 32-bit addresses in its records.
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<decltype(Record::pszText)>::max());
    if (block->RemoteAddress() + block->Size() > kLimit) return false;
    block_ = std::move(block);
    return true;
  }

  bool IsOpen() const { return block_ && block_->IsReady() && !channel_.Lost(); }

  // A fresh record (all fields zero) with an empty text area.
  Record& Clear() {
    std::memset(block_->LocalBytes(), 0, block_->Size());
    holdsState_ = false;
    return block_->Record();
  }

  decltype(Record::pszText) TextAddress() const {
    return static_cast<decltype(Record::pszText)>(block_->RemoteAddressAfterRecord());
  }

  // Write the record, send the message with its address, optionally read the block back.
  bool Exchange(UINT message, WPARAM wParam, bool readBack, LRESULT* answer, bool writeFirst = true,
                UINT timeoutMs = kViewAnswerTimeoutMs) {
    if (!IsOpen()) return false;
    if (writeFirst && !block_->CopyToRemote()) return Fail();
    if (!channel_.Send(message, wParam, block_->RemoteParam(), answer, timeoutMs)) {
      if (channel_.MessageMayBePending()) block_->LeaveRemoteBlock();
      return false;
    }
    if (readBack && !block_->CopyFromRemote()) return Fail();
    return true;
  }

  // The text the control gave back: in our text area, or wherever pszText now points
  // when the control chose to point at text of its own.
  std::string ReadText() {
    const Record& record = block_->Record();
    if (record.pszText == TextAddress()) return BoundedText(block_->BytesAfterRecord(), kItemTextMax);
    if (record.pszText == 0) return std::string();
    std::uint8_t text[kItemTextMax + 1] = {};
    DWORD read = block_->ReadOther(record.pszText, text, kItemTextMax);
    // A read cut short at the end of readable memory keeps all it got.
    return BoundedText(text, read < kItemTextMax ? read + 1 : kItemTextMax);
  }

  ItemRect ReadRect() {
    RECT rect;
    std::memcpy(&rect, block_->LocalBytes(), sizeof(rect));
    return {rect.left, rect.top, rect.right, rect.bottom};
  }

  // Consecutive state changes with the same record need one copy to the view's process.
  bool HoldsState(std::uint32_t state, std::uint32_t mask) const {
    return holdsState_ && heldState_ == state && heldMask_ == mask;
  }
  void NoteState(std::uint32_t state, std::uint32_t mask) {
    holdsState_ = true;
    heldState_ = state;
    heldMask_ = mask;
  }

  std::uint8_t* Bytes() { return block_->LocalBytes(); }

 private:
  bool Fail() {
    channel_.MarkLost();
    return false;
  }

  ViewChannel& channel_;
  ProcessMemoryApi& api_;
  std::unique_ptr<SharedMemT<Record>> block_;
  bool holdsState_ = false;
  std::uint32_t heldState_ = 0;
  std::uint32_t heldMask_ = 0;
};

template <typename Record>
class RemoteList final : public ListView {
 public:
  RemoteList(HWND view, ProcessMemoryApi& api) : channel_(view), block_(channel_, api) {}

  int ItemCount() override { return ToCount(Ask(LVM_GETITEMCOUNT, 0, 0)); }
  int SelectedCount() override { return ToCount(Ask(LVM_GETSELECTEDCOUNT, 0, 0)); }
  int FirstSelected() override {
    LRESULT index = Ask(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    return index >= 0 && index <= std::numeric_limits<int>::max() ? static_cast<int>(index) : -1;
  }
  std::uint32_t ItemState(int index, std::uint32_t mask) override {
    return static_cast<std::uint32_t>(Ask(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask)) & mask;
  }
  std::uint32_t ExtendedStyle() override {
    return static_cast<std::uint32_t>(Ask(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  }
  void SetExtendedStyle(std::uint32_t style) override {
    channel_.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style), nullptr, kViewBulkAnswerTimeoutMs);
  }
  bool EnsureVisible(int index) override { return Ask(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE) != 0; }

  bool OpenRecord() override { return block_.Open(); }

  bool ItemText(int index, std::string& text) override {
    text.clear();
    if (!block_.IsOpen()) return false;
    Record& record = block_.Clear();
    record.mask = LVIF_TEXT;
    record.iItem = index;
    record.iSubItem = 0;
    record.pszText = block_.TextAddress();
    record.cchTextMax = static_cast<std::int32_t>(kItemTextMax);
    LRESULT found = 0;
    if (!block_.Exchange(LVM_GETITEMA, 0, true, &found) || !found) return false;
    text = block_.ReadText();
    return true;
  }

  bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) override {
    if (!block_.IsOpen()) return false;
    bool unchanged = block_.HoldsState(state, mask);
    if (!unchanged) {
      Record& record = block_.Clear();
      record.mask = LVIF_STATE;
      record.state = state;
      record.stateMask = mask;
    }
    LRESULT done = 0;
    const UINT timeout = index == kAllItems ? kViewBulkAnswerTimeoutMs : kViewAnswerTimeoutMs;
    if (!block_.Exchange(LVM_SETITEMSTATE, static_cast<WPARAM>(index), false, &done, !unchanged, timeout)) return false;
    block_.NoteState(state, mask);
    return done != 0;
  }

  bool LabelRect(int index, ItemRect& rect) override {
    if (!block_.IsOpen()) return false;
    block_.Clear();
    const std::uint32_t code = LVIR_LABEL;
    std::memcpy(block_.Bytes(), &code, sizeof(code));
    LRESULT done = 0;
    if (!block_.Exchange(LVM_GETITEMRECT, static_cast<WPARAM>(index), true, &done) || !done) return false;
    rect = block_.ReadRect();
    return true;
  }

  bool Lost() const override { return channel_.Lost(); }

 private:
  LRESULT Ask(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT answer = 0;
    return channel_.Send(message, wParam, lParam, &answer) ? answer : 0;
  }

  ViewChannel channel_;
  RecordBlock<Record> block_;
};

template <typename Record>
class RemoteTree final : public TreeView {
 public:
  using Handle = decltype(Record::hItem);

  RemoteTree(HWND view, ProcessMemoryApi& api) : channel_(view), block_(channel_, api) {}

  TreeItem NextItem(TreeRelation relation, TreeItem item) override {
    if (!Representable(item)) return 0;
    LRESULT answer = 0;
    if (!channel_.Send(TVM_GETNEXTITEM, static_cast<WPARAM>(relation), static_cast<LPARAM>(item), &answer)) return 0;
    return static_cast<TreeItem>(static_cast<std::uintptr_t>(answer));
  }

  bool Select(TreeItem item) override {
    if (!Representable(item)) return false;
    LRESULT done = 0;
    return channel_.Send(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(item), &done) && done != 0;
  }

  bool OpenRecord() override { return block_.Open(); }

  bool ItemText(TreeItem item, std::string& text) override {
    text.clear();
    if (!block_.IsOpen() || !Representable(item)) return false;
    Record& record = block_.Clear();
    record.mask = TVIF_TEXT | TVIF_HANDLE;
    record.hItem = static_cast<Handle>(item);
    record.pszText = block_.TextAddress();
    record.cchTextMax = static_cast<std::int32_t>(kItemTextMax);
    LRESULT found = 0;
    if (!block_.Exchange(TVM_GETITEMA, 0, true, &found) || !found) return false;
    text = block_.ReadText();
    return true;
  }

  bool LabelRect(TreeItem item, ItemRect& rect) override {
    if (!block_.IsOpen() || !Representable(item) || item == 0) return false;
    block_.Clear();
    // TVM_GETITEMRECT reads the item handle from the start of the block, pointer-sized
    // as the view's process sees it.
    const Handle handle = static_cast<Handle>(item);
    std::memcpy(block_.Bytes(), &handle, sizeof(handle));
    LRESULT done = 0;
    if (!block_.Exchange(TVM_GETITEMRECT, TRUE, true, &done) || !done) return false;
    rect = block_.ReadRect();
    return true;
  }

  bool Lost() const override { return channel_.Lost(); }

 private:
  // An item handle must fit the view's records and our own message parameters.
  static bool Representable(TreeItem item) {
    return item <= std::numeric_limits<Handle>::max() && item <= std::numeric_limits<std::uintptr_t>::max();
  }

  ViewChannel channel_;
  RecordBlock<Record> block_;
};

ProcessBits LayoutFor(HWND view, ProcessBits layout) {
  if (layout == ProcessBits::Unknown) layout = ViewProcessBits(view);
  return layout == ProcessBits::Unknown ? OwnProcessBits() : layout;
}

}  // namespace

std::unique_ptr<ListView> OpenRemoteList(HWND view, ProcessBits layout, ProcessMemoryApi& api) {
  if (LayoutFor(view, layout) == ProcessBits::Bits64) {
    return std::make_unique<RemoteList<records::ListItem64>>(view, api);
  }
  return std::make_unique<RemoteList<records::ListItem32>>(view, api);
}

std::unique_ptr<TreeView> OpenRemoteTree(HWND view, ProcessBits layout, ProcessMemoryApi& api) {
  if (LayoutFor(view, layout) == ProcessBits::Bits64) {
    return std::make_unique<RemoteTree<records::TreeItem64>>(view, api);
  }
  return std::make_unique<RemoteTree<records::TreeItem32>>(view, api);
}

std::unique_ptr<ListView> OpenRemoteList(HWND view, ProcessMemoryApi& api) {
  return OpenRemoteList(view, ProcessBits::Unknown, api);
}

std::unique_ptr<TreeView> OpenRemoteTree(HWND view, ProcessMemoryApi& api) {
  return OpenRemoteTree(view, ProcessBits::Unknown, api);
}

std::string RemoteViewProvider::ClassName(ViewHandle view) {
  char name[128] = {};
  int length = GetClassNameA(ToHwnd(view), name, sizeof(name));
  return length > 0 ? std::string(name, static_cast<std::size_t>(length)) : std::string();
}

std::unique_ptr<ListView> RemoteViewProvider::OpenList(ViewHandle view) { return OpenRemoteList(ToHwnd(view), api_); }

std::unique_ptr<TreeView> RemoteViewProvider::OpenTree(ViewHandle view) { return OpenRemoteTree(ToHwnd(view), api_); }

void RemoteViewProvider::LockUpdate(ViewHandle view) {
  UnlockUpdate();
  locked_ = LockWindowUpdate(ToHwnd(view)) != FALSE;
}

void RemoteViewProvider::UnlockUpdate() {
  if (!locked_) return;
  LockWindowUpdate(nullptr);
  locked_ = false;
}
