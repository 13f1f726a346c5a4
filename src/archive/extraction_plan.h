#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace archive {

class InputArchive;

// How the items of one archive are shared out among workers, each of which
// extracts its own list through its own archive object.
struct ExtractionPlan {
    // The sum of the items' unpacked sizes, the total the library announces.
    std::uint64_t total_size = 0;
    // Every folder the items need, relative to the output folder, parents first.
    std::vector<std::wstring> folders;
    // One list of item indices per worker, each in ascending order. Fewer
    // than two lists means one worker extracts every item.
    std::vector<std::vector<std::uint32_t>> lists;
};

// Below this much unpacked data a second worker costs more than it saves
// (bench/worker_cutoff_bench measures where).
inline constexpr std::uint64_t kMinimumSizeForWorkers = 512u << 10;

// Shares the items out among at most `workers` lists. One worker keeps
// every item of an archive of less than `minimum_size` unpacked, and of one
// whose result depends on the order of its items: a path that appears twice
// (also in another case, as the Windows file system compares names), a file
// where another item needs a folder, an unnamed item or a "." component. Unsafe item paths are left
// to the worker that meets them.
ExtractionPlan PlanExtraction(const InputArchive& archive, std::size_t workers,
                              std::uint64_t minimum_size = kMinimumSizeForWorkers);

// Balances the items by size, largest first, each to the list with the least
// so far (the first of equals); lists that get nothing are left out.
std::vector<std::vector<std::uint32_t>> BalanceBySize(const std::vector<std::uint64_t>& sizes, std::size_t lists);

}  // namespace archive
