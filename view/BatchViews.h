// List views and tree views whose names and states are read in one piece by the hook
// library inside the view's own process (docs/batch-reader.md), with the per-item reader
// of RemoteViews.h for everything else and as the fallback.
//
// The views opened here answer the walks' questions (item count, selected count, item
// states, names; tree relations and names) from one answer of the library, requested
// when the first such question comes and used while it streams in: a name that has not
// arrived yet is waited for. Changes (states, selection, caret, check-box style),
// scrolling and label rectangles go to the view as messages, as with the per-item reader;
// after a change the views ask the view itself again. So the walks, the check-box
// commands and the results are the same with either reader.
//
// A change of the focus (the walks' last selection change; the caret of a tree),
// scrolling, a label rectangle or the end of the operation tells the library to stop
// reading, so that the view's thread is free for the messages that follow. Should more
// names be wanted after all, they are read item by item.
//
// A view whose process the library does not serve (another bitness, a process that never
// took keyboard input, this process) is read item by item at once, without a request.
// A request that is declined, or that the view's thread ignores, falls back to the
// per-item reader for that operation; a thread that ignored one is left alone for a while.
// A view that does not answer at all makes the operation Lost(), as a message would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "view/RemoteViews.h"
#include "view/ViewAccess.h"
#include "view/ViewReadRequest.h"

// What the reader needs from the hook library.
class ViewReadService {
 public:
  virtual ~ViewReadService() = default;
  // True when a read request posted to the view will be answered (Tapline::prepareViewRead).
  virtual bool Prepare(HWND view) = 0;
  // The view's thread ignored a request: drop what Prepare set up there.
  virtual void Forget(HWND view) = 0;
  // The key requests carry (Tapline::viewReadKey).
  virtual std::uint64_t RequestKey() = 0;
};

class BatchViewProvider : public ViewProvider {
 public:
  explicit BatchViewProvider(std::unique_ptr<ViewReadService> service, ProcessMemoryApi& api = SystemProcessMemory(),
                             const ReadWaits& waits = ReadWaits());
  ~BatchViewProvider() override;

  std::string ClassName(ViewHandle view) override;
  std::unique_ptr<ListView> OpenList(ViewHandle view) override;
  std::unique_ptr<TreeView> OpenTree(ViewHandle view) override;
  void LockUpdate(ViewHandle view) override;
  void UnlockUpdate() override;

  // For the views this provider opens. Starts a read of the view and waits for its
  // summary; null when the view is to be read item by item, or when it did not answer
  // (then `lost`).
  std::unique_ptr<ViewRead> StartRead(HWND view, viewread::ReadKind kind, bool& lost);
  // A read whose answer did not fit: a new one with room for `needed` bytes, or null.
  std::unique_ptr<ViewRead> ReadAgain(HWND view, viewread::ReadKind kind, std::uint32_t needed, bool& lost);
  // A read that is over: a complete answer's size is remembered for the next one. A
  // shell view's answer that ended before names the library had still to read goes on
  // in the background (below), and so does a list's that ended before its last name
  // (KeptNames). `usedKeptNames`: the step matched kept names.
  void Finished(HWND view, ViewRead& read, bool usedKeptNames = false);

  // Reading a shell view's names through the shell is slow (100 us to 2 ms a name under
  // Wine), and a step reads only as far as its candidate. So after a step that left
  // names unread, the library is asked to read on in the background: the names land in
  // what it keeps for the view, and the keystrokes to come find them there instead of
  // reading them while the user waits. The view's thread reads in pieces of a few
  // milliseconds and takes its other messages between them; the next read of any view
  // stops the background one first. A list read whole in the background (KeptNames)
  // is not paused: the library reads it in one piece, as a step's. True while such a
  // read goes on.
  bool ReadingOn() const { return readingOn_ != nullptr; }
  // Takes what the background read has published and asks it to go on after a pause;
  // the caller calls this every kReadOnTickMs while ReadingOn(). False when the read is
  // over (every name read, refused, not answered in time): it is dropped then.
  bool ContinueReadingOn();
  // The library reads at most 12 ms a piece and then waits to be asked again: at most
  // one piece in every 30 ms is less than the library's share of the thread grows back
  // (ServeShare.h), so reading on alone never uses the share up, and the view's thread
  // keeps more than half its time for its own work.
  static constexpr DWORD kReadOnTickMs = 30;

  // The library trusts the IDs it took of a shell view's items for a moment (as long as
  // kIdsTrustedMs, docs/tapline.md, "Trusting the kept IDs"); the first read after that
  // takes every ID again, 10 ms at 10,000 items under Wine. So for a while after a key
  // in a shell view whose IDs the library trusted, they are taken again in the
  // background as that moment ends, and a word typed after a pause finds them trusted.
  // Milliseconds until KeepWarm() is due; 0 when nothing is to be kept warm.
  DWORD KeepWarmDelay() const;
  // Asks the library to take the IDs again, as a read in the background (ReadingOn()).
  // Does nothing while another background read goes on, or when nothing is due.
  void KeepWarm();
  static constexpr DWORD kIdsTrustedMs = 2000;
  // How long after the last key a view is kept warm.
  static constexpr DWORD kKeepWarmMs = 10000;

  // The names of the list view read whole last (names do not change while a user types):
  // a step in the same view with the same item count, within kNamesTrustedMs of that
  // read, matches these instead of waiting for the view's thread to read every name
  // again. The walk checks its candidate against the view itself (ListView::ConfirmName);
  // a name of the step's own answer that differs drops them, and a step that then finds
  // nothing walks the view's own names (ConfirmNone). Null when there are none for the view.
  const ViewSnapshot* KeptNames(HWND view, int itemCount) const;
  void DropKeptNames() { keptNames_.reset(); }
  // On by default, trusted for kNamesTrustedMs; off, every step reads every name it
  // tests (benchmarks compare both).
  void SetKeepListNames(bool keep, DWORD trustedMs = kNamesTrustedMs) {
    keepListNames_ = keep;
    namesTrustedMs_ = trustedMs;
    if (!keep) keptNames_.reset();
  }
  static constexpr DWORD kNamesTrustedMs = 2000;

  // Windows of these classes are served through the shell view that holds them (the
  // shell view reader, ShellViews.h); those whose class is also among `listClasses` fall
  // back to the list path when no shell view is found. Both lists NUL-separated and
  // ended by an empty entry, as Tapline::tssToNss makes them.
  void SetShellViewClasses(const std::string& shellClasses, const std::string& listClasses);
  const ReadWaits& Waits() const { return waits_; }
  std::uint64_t RequestKey() { return service_ ? service_->RequestKey() : 0; }

  const BatchCounters& Counters() const { return counters_; }
  BatchCounters& MutableCounters() { return counters_; }

 private:
  struct QuietThread {
    DWORD threadId;
    DWORD processId;
    DWORD since;
  };
  bool IsQuiet(DWORD threadId, DWORD processId);
  std::uint32_t CapacityFor(HWND view) const;
  std::unique_ptr<ViewRead> GiveUpBusy(bool& lost);
  void RememberSize(HWND view, std::size_t answerBytes);
  // Posts a read that ContinueReadingOn() drives; false when not posted.
  bool ReadInBackground(HWND view, viewread::ReadKind kind);
  // A list answer: kept when it holds every name; a step that did not read them all, or
  // that used kept names half their time old, has them read again in the background.
  void NoteListAnswer(HWND view, ViewRead& read, bool usedKeptNames);
  // Keeps (takes) a list answer that holds every name; false when it does not. The
  // read must not be used afterwards.
  bool KeepListNames(HWND view, ViewRead& read);
  // What a shell view's answer tells of the IDs the library keeps for it.
  void NoteShellAnswer(HWND view, const ViewRead& read);

  std::unique_ptr<ViewReadService> service_;
  ProcessMemoryApi& api_;
  ReadWaits waits_;
  RemoteViewProvider remote_;
  BatchCounters counters_;
  std::unordered_map<ViewHandle, std::uint32_t> sizeHints_;
  std::vector<QuietThread> quiet_;
  std::string shellClasses_;
  std::string listClasses_;
  struct Kept {
    HWND view = nullptr;
    DWORD at = 0;
    ViewSnapshot names;
  };
  std::unique_ptr<Kept> keptNames_;
  bool keepListNames_ = true;
  DWORD namesTrustedMs_ = kNamesTrustedMs;
  std::unique_ptr<ViewRead> readingOn_;
  HWND readingOnView_ = nullptr;
  DWORD readingOnSince_ = 0;
  // The shell view last keyed in, and when its IDs were last taken (this process's
  // time of the answer, never earlier than the library's).
  HWND warmView_ = nullptr;
  bool warmTrusted_ = false;  // the library trusted its IDs at least once
  DWORD lastKeyAt_ = 0;
  DWORD idsTakenAt_ = 0;
  DWORD lastWarmAt_ = 0;
};
