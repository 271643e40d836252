// How every benchmark that types into a view in another process starts: this process
// takes Kanasift's place as the hook's owner (the library then serves whole-view reads
// wherever it is loaded), and the dictionary is opened. What fails is printed.
#pragma once

#include <cstdio>

#include "bench/common/BenchClock.h"
#include "bench/common/BenchSteps.h"
#include "search/MigemoLoadThread.h"
#include "tests/wine/batch/BatchTestSupport.h"

namespace bench {

class HookAndDictionary {
 public:
  explicit HookAndDictionary(const char* dictPath) : dictionary_(dictPath) {}
  HookAndDictionary(const HookAndDictionary&) = delete;
  HookAndDictionary& operator=(const HookAndDictionary&) = delete;

  bool Start() {
    workingSetBefore_ = WorkingSetMiB();
    if (!owner_.Install()) {
      std::printf("the hook could not be set\n");
      return false;
    }
    const double start = NowMs();
    if (!dictionary_.LoadNow()) {
      std::printf("the dictionary %s could not be opened\n", dictionary_.dictPath().c_str());
      return false;
    }
    openMs_ = NowMs() - start;
    return true;
  }

  MigemoLoadThread& dictionary() { return dictionary_; }
  double openMs() const { return openMs_; }
  double workingSetBefore() const { return workingSetBefore_; }

 private:
  HookOwner owner_;
  MigemoLoadThread dictionary_;
  double openMs_ = 0;
  double workingSetBefore_ = 0;
};

}  // namespace bench
