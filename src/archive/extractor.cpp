#include "archive/extractor.h"

#include <algorithm>
#include <thread>

#include "archive/codec/com_ptr.h"
#include "archive/codec/input_archive.h"
#include "archive/extraction/file_extract_callback.h"
#include "archive/extraction_plan.h"
#include "archive/parallel_extraction.h"

namespace archive {
namespace {

// These hooks expect one ordered stream of calls, which one worker gives.
bool HooksAllowWorkers(const ArchiveHandler& handler)
{
    return !handler.OnFile() && !handler.OnProgress() && !handler.OnRatio() && !handler.OnPassword();
}

}  // namespace

Extractor::Extractor(const CodecLibrary& library, const ArchiveFormat& format)
    : ArchiveOpener(library, format, L""), workers_(std::max(1u, std::thread::hardware_concurrency()))
{
}

Extractor::~Extractor() = default;

void Extractor::ExtractToFolder(std::wstring_view archive_path, std::wstring_view output_folder) const
{
    InputArchive archive(*this, archive_path);
    const ExtractionPlan plan = PlanExtraction(archive, HooksAllowWorkers(*this) ? workers_ : 1);
    if (plan.lists.size() > 1) {
        ExtractInParallel(*this, archive, plan, archive_path, output_folder);
        return;
    }
    ComPtr<FileExtractCallback> callback(new FileExtractCallback(*this, archive, archive_path, output_folder));
    archive.Extract({}, *callback);
}

}  // namespace archive
