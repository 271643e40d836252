#include "tests/input/EngineFakes.h"

#include <algorithm>

bool RecordingHost::Called(const std::string& what) const { return Count(what) > 0; }

int RecordingHost::Count(const std::string& what) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), what));
}
