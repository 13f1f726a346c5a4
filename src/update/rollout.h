#pragma once
// Staged releases: each installed copy draws a random 32-bit id once and
// keeps it in LocalConfig.json ("rolloutId", decimal), so it keeps its
// place in every release's rollout.
#include <cstdint>
#include <optional>

// The copy's id; drawn and recorded the first time, and again when the
// recorded one is not a decimal 32-bit number.
std::uint32_t RolloutId();

// Whether the copy with `id` takes a release offered to `percent` of copies
// (no percentage: all of them).
bool TakesRelease(std::uint32_t id, std::optional<unsigned> percent);
