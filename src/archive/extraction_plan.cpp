#include "archive/extraction_plan.h"

#include <algorithm>
#include <cwctype>
#include <numeric>
#include <set>

#include "archive/codec/input_archive.h"
#include "archive/extraction/file_operations.h"
#include "platform/paths/path.h"

namespace archive {
namespace {

// An item path spelled so that two names the file system takes for one
// compare equal: ASCII case folded, separators unified.
std::wstring ComparisonKey(std::wstring_view path)
{
    std::wstring key(path);
    for (wchar_t& c : key) c = platform::IsPathSeparator(c) ? L'/' : static_cast<wchar_t>(std::towlower(c));
    return key;
}

bool HasDotComponent(std::wstring_view path)
{
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = start;
        while (end < path.size() && !platform::IsPathSeparator(path[end])) ++end;
        if (path.substr(start, end - start) == L".") return true;
        start = end + 1;
    }
    return false;
}

// The paths of the items and the folders they need; nothing when the order
// of the items would decide what ends up on disk.
class PathSurvey {
public:
    bool Add(std::wstring_view path, bool is_folder)
    {
        if (path.empty() || HasDotComponent(path)) return false;
        // The worker that meets it refuses the item; it needs no folder.
        if (IsUnsafeItemPath(path)) return true;
        const std::wstring key = ComparisonKey(path);
        if (!item_keys_.insert(key).second) return false;
        (is_folder ? folder_keys_ : file_keys_).insert(key);
        if (is_folder) folders_.emplace(path);
        for (std::size_t at = 0; at < path.size(); ++at) {
            if (!platform::IsPathSeparator(path[at])) continue;
            folder_keys_.insert(key.substr(0, at));
            folders_.emplace(path.substr(0, at));
        }
        return true;
    }

    // A file whose path another item needs as a folder.
    bool HasFileInTheWay() const
    {
        return std::any_of(file_keys_.begin(), file_keys_.end(),
                           [this](const std::wstring& key) { return folder_keys_.count(key) > 0; });
    }

    // Sorted, so that every parent comes before the folders below it.
    std::vector<std::wstring> Folders() const { return {folders_.begin(), folders_.end()}; }

private:
    std::set<std::wstring> item_keys_;
    std::set<std::wstring> file_keys_;
    std::set<std::wstring> folder_keys_;
    std::set<std::wstring> folders_;
};

std::uint64_t UnpackedSize(const InputArchive& archive, std::uint32_t index)
{
    const PropVariant size = archive.ItemProperty(index, kpidSize);
    if (size.Kind() == PropKind::kUInt64) return size.uhVal;
    return size.IsUInt32() ? size.GetUInt32() : 0;
}

}  // namespace

ExtractionPlan PlanExtraction(const InputArchive& archive, std::size_t workers, std::uint64_t minimum_size)
{
    ExtractionPlan plan;
    if (workers < 2) return plan;
    const std::uint32_t count = archive.ItemCount();
    std::vector<std::uint64_t> sizes(count);
    PathSurvey survey;
    for (std::uint32_t index = 0; index < count; ++index) {
        const PropVariant path = archive.ItemProperty(index, kpidPath);
        if (!path.IsString() || !survey.Add(path.GetString(), archive.ItemIsFolder(index))) return plan;
        sizes[index] = UnpackedSize(archive, index);
    }
    if (survey.HasFileInTheWay()) return plan;
    plan.total_size = std::accumulate(sizes.begin(), sizes.end(), std::uint64_t{0});
    if (plan.total_size < minimum_size) return plan;
    plan.folders = survey.Folders();
    plan.lists = BalanceBySize(sizes, workers);
    return plan;
}

std::vector<std::vector<std::uint32_t>> BalanceBySize(const std::vector<std::uint64_t>& sizes, std::size_t lists)
{
    std::vector<std::uint32_t> largest_first(sizes.size());
    std::iota(largest_first.begin(), largest_first.end(), 0u);
    std::stable_sort(largest_first.begin(), largest_first.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return sizes[a] > sizes[b]; });
    std::vector<std::vector<std::uint32_t>> balanced(std::max<std::size_t>(lists, 1));
    std::vector<std::uint64_t> loads(balanced.size(), 0);
    for (const std::uint32_t index : largest_first) {
        const auto least = static_cast<std::size_t>(std::min_element(loads.begin(), loads.end()) - loads.begin());
        balanced[least].push_back(index);
        loads[least] += sizes[index];
    }
    std::erase_if(balanced, [](const auto& list) { return list.empty(); });
    // The library reads the items of a list in the order it is given.
    for (auto& list : balanced) std::sort(list.begin(), list.end());
    return balanced;
}

}  // namespace archive
