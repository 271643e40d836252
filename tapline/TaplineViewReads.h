// The batch reader's access to the hook library in the running program: whole-view reads
// are prepared and dropped through the library's own calls.
#pragma once

#include "tapline/Tapline.h"
#include "view/BatchViews.h"

class TaplineViewReads : public ViewReadService {
 public:
  bool Prepare(HWND view) override { return Tapline::prepareViewRead(view); }
  void Forget(HWND view) override { Tapline::forgetViewRead(view); }
  std::uint64_t RequestKey() override { return Tapline::viewReadKey(); }
};
