#pragma once
// How long a test waits for an event before it calls the event lost. It only
// guards against a hang: an event that comes at all comes far sooner, even on
// a machine loaded by other builds, so no test depends on how soon.
#include <chrono>

namespace testing_support {

inline constexpr std::chrono::seconds kEventWait{60};

}  // namespace testing_support
