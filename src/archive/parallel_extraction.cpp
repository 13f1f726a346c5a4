#include "archive/parallel_extraction.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/codec/com_ptr.h"
#include "archive/codec/input_archive.h"
#include "archive/extraction/file_extract_callback.h"
#include "archive/extraction/file_operations.h"

namespace archive {
namespace {

// The failure that ends the extraction: the first one, since the others
// are only workers stopping because of it.
class FirstFailure {
public:
    void Record(std::exception_ptr failure)
    {
        const std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::move(failure);
        stop_.store(true, std::memory_order_relaxed);
    }
    const std::atomic<bool>& StopSignal() const { return stop_; }
    void RaiseIfAny() const
    {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    std::mutex mutex_;
    std::exception_ptr failure_;
    std::atomic<bool> stop_{false};
};

void ExtractList(const InputArchive& archive, FileExtractCallback& callback, const std::vector<std::uint32_t>& list,
                 FirstFailure& failure) noexcept
{
    try {
        callback.JoinWorkers(failure.StopSignal());
        archive.Extract(list, callback);
    } catch (...) {
        failure.Record(std::current_exception());
    }
}

// A worker of its own thread: the codec library's objects are never shared
// between threads, so it opens the archive again.
void ExtractListOnThisThread(const ArchiveHandler& handler, std::wstring_view archive_path,
                             std::wstring_view output_folder, const std::vector<std::uint32_t>& list,
                             FirstFailure& failure) noexcept
{
    try {
        const InputArchive archive(handler, archive_path);
        const ComPtr<FileExtractCallback> callback(
            new FileExtractCallback(handler, archive, archive_path, output_folder));
        ExtractList(archive, *callback, list, failure);
    } catch (...) {
        failure.Record(std::current_exception());
    }
}

}  // namespace

void ExtractInParallel(const ArchiveHandler& handler, const InputArchive& archive, const ExtractionPlan& plan,
                       std::wstring_view archive_path, std::wstring_view output_folder)
{
    const ComPtr<FileExtractCallback> first(new FileExtractCallback(handler, archive, archive_path, output_folder));
    const HRESULT announced = first->SetTotal(plan.total_size);
    if (announced != hresult::kOk) throw ArchiveError(first->ErrorMessage(), announced);
    // Made here once, so that no two workers race to make the same folder.
    // One that cannot be made fails the file below it, as with one worker.
    for (const std::wstring& folder : plan.folders) CreateFolderPath(first->OutputFolder() + folder);

    FirstFailure failure;
    std::vector<std::thread> workers;
    try {
        for (std::size_t i = 1; i < plan.lists.size(); ++i) {
            workers.emplace_back(ExtractListOnThisThread, std::cref(handler), archive_path, first->OutputFolder(),
                                 std::cref(plan.lists[i]), std::ref(failure));
        }
    } catch (...) {
        failure.Record(std::current_exception());
    }
    ExtractList(archive, *first, plan.lists.front(), failure);
    for (std::thread& worker : workers) worker.join();
    failure.RaiseIfAny();
}

}  // namespace archive
