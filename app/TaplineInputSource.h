// The receiver thread's source of typed characters in the program: the hook library's
// queue, taken with Tapline::getInputs.
#pragma once

#include "input/InputRecvThread.h"
#include "tapline/Tapline.h"

class TaplineInputSource : public InputSource {
 public:
  int Fetch(ViewHandle& view, std::uint8_t* chars, std::uint32_t* ticks) override {
    HWND window = reinterpret_cast<HWND>(view);
    int count = Tapline::getInputs(&window, chars, ticks);
    view = reinterpret_cast<ViewHandle>(window);
    return count;
  }
};
