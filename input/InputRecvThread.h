// The worker thread through which typed characters enter Kanasift: it waits for the
// hook library's named event, fetches the queued characters and hands them on one by one.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "input/KThreadBase.h"
#include "platform/Sync.h"
#include "tapline/TaplineTypes.h"
#include "view/ViewAccess.h"

// Where the characters come from: Tapline::getInputs in the program, a script in tests.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Takes up to INPUT_BATCH_MAX queued characters of one view; returns their count
  // (0 or less: none).
  virtual int Fetch(ViewHandle& view, std::uint8_t* chars, std::uint32_t* ticks) = 0;
};

class InputRecvThread : public KThreadBase {
 public:
  using Callback = std::function<void(ViewHandle view, std::uint8_t ch, std::uint32_t tick)>;

  // `inputCallback` runs on the fetching thread, under the fetch lock, once per character
  // in typing order; it must only hand the character on (never send a window message).
  // `eventName` names the event the hook library sets; tests pass nullptr for a private
  // one, so that they never compete with a running Kanasift for its signals.
  InputRecvThread(InputSource& source, Callback inputCallback,
                  const char* eventName = KANASIFT_INPUT_EVENT);
  ~InputRecvThread() override;

  // Fetches everything queued right now and delivers it. Called by the thread when the
  // event fires, and by the UI thread before it runs a key command, so that characters
  // typed before a key are always processed before it. Returns the count delivered.
  int FetchAndDeliver();

  // Set by the hook library ("Kanasift::InputEvent"); tests set it directly.
  platform::Event& inputEvent() { return inputEvent_; }

 protected:
  std::uint32_t Run() override;

 private:
  InputSource& source_;
  Callback inputCallback_;
  platform::Event inputEvent_;
  std::mutex fetchLock_;
  ViewHandle view_ = 0;  // kept between fetches
};
