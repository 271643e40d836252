// Keys that Kanasift injects itself (SendInput, e.g. VK_SPACE on an empty input) must
// reach the view instead of being taken again. The marker in dwExtraInfo says so on
// Windows, but inside a keyboard hook under Wine GetMessageExtraInfo is mostly 0. So
// Kanasift also announces each key just before sending it: the first key-down of that
// virtual key that a hook sees within kInjectionWindowMs takes the announcement and
// passes.
#pragma once

#include <cstdint>

#include "tapline/SharedLayout.h"

namespace tapline {

constexpr std::uint32_t kInjectionWindowMs = 1000;

// Records one announced key. When every slot holds a live announcement, the oldest one
// is replaced.
void ExpectInjectedKey(SharedBlock& block, std::uint8_t virtualKey, std::uint32_t now);

// Takes one live announcement of `virtualKey`; false when there is none.
bool TakeInjectedKey(SharedBlock& block, std::uint8_t virtualKey, std::uint32_t now);

}  // namespace tapline
