// The answer of one whole-view read as one view object uses it: started on the first
// question, waited for piece by piece, replaced by a larger one when it did not fit, and
// given up when it goes wrong. Shared by the batch reader's list and tree views and the
// shell view reader (ShellViews.h).
#pragma once

#include <windows.h>

#include <memory>

#include "view/BatchViews.h"
#include "view/ViewReadRequest.h"

namespace batchread {

using viewread::ReadKind;

// Which source a view's question goes to.
enum class Source { Snapshot, PerItem, Lost };

// The answer of one read, for one view object: started on the first question, waited
// for piece by piece, replaced by a larger one when it did not fit, and given up in
// favour of the per-item reader when it goes wrong.
class Reading {
 public:
  Reading(HWND view, ReadKind kind, BatchViewProvider& provider) : view_(view), kind_(kind), provider_(provider) {}
  ~Reading() { End(); }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  Source Use() {
    if (!asked_) {
      asked_ = true;
      read_ = provider_.StartRead(view_, kind_, lost_);
    }
    if (lost_) return Source::Lost;
    return read_ ? Source::Snapshot : Source::PerItem;
  }

  const ViewSnapshot& Items() const { return read_->Snapshot(); }

  // Waits until the answer holds `count` records; false when it will not (it is
  // complete with fewer, or it went wrong: then Use() tells what to do instead).
  bool Have(std::size_t count) {
    while (read_) {
      if (read_->Snapshot().items.size() >= count) return true;
      switch (read_->WaitFor(count)) {
        case ReadOutcome::Read:
          if (read_->Snapshot().items.size() >= count) return true;
          if (read_->Complete()) return false;
          continue;
        case ReadOutcome::TooSmall: {
          const std::uint32_t needed = read_->Needed();
          read_.reset();
          read_ = provider_.ReadAgain(view_, kind_, needed, lost_);
          ++generation_;
          continue;
        }
        case ReadOutcome::NoAnswer:
          lost_ = true;
          ++provider_.MutableCounters().lost;
          read_.reset();
          return false;
        case ReadOutcome::Refused:
        case ReadOutcome::Ignored:
          // What arrived stays usable; the rest comes item by item.
          if (read_->Snapshot().items.size() >= count) return true;
          if (!stopped_) ++provider_.MutableCounters().fallbacks;
          read_.reset();
          return false;
      }
    }
    return false;
  }

  bool Complete() const { return read_ && read_->Complete(); }
  bool IsLost() const { return lost_; }
  // Counts the answers this object has had: a new one starts again from the first record.
  unsigned Generation() const { return generation_; }

  // The step matched names kept from an earlier answer (BatchViewProvider::KeptNames).
  void UsedKeptNames() { usedKeptNames_ = true; }
  // Drops this answer: the next Use() asks the view again.
  void Restart() {
    if (read_) read_->Stop();
    read_.reset();
    asked_ = false;
    stopped_ = false;
    usedKeptNames_ = false;
    ++generation_;
  }

  // Nothing more is needed: the view's thread may stop reading.
  void Stop() {
    stopped_ = true;
    if (read_) read_->Stop();
  }

 private:
  void End() {
    if (!read_) return;
    read_->Stop();
    provider_.Finished(view_, *read_, usedKeptNames_);
  }

  HWND view_;
  ReadKind kind_;
  BatchViewProvider& provider_;
  std::unique_ptr<ViewRead> read_;
  unsigned generation_ = 0;
  bool asked_ = false;
  bool lost_ = false;
  bool stopped_ = false;
  bool usedKeptNames_ = false;
};

}  // namespace batchread
