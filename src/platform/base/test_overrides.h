#pragma once
// Durations that only the tests shorten: a test of the real program sets
// MERRO_TEST_<NAME> in its environment (decimal milliseconds) so that a wait
// or a deadline of minutes takes seconds. Nothing a user configures.
#include <chrono>
#include <optional>
#include <string_view>

namespace platform {

// The value of the environment variable `name`; none when it is unset or not
// a whole number of milliseconds.
std::optional<std::chrono::milliseconds> TestDuration(std::string_view name);

}  // namespace platform
