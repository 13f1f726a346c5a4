#pragma once
#include <string_view>

#include "archive/codec/archive_handler.h"
#include "archive/extraction_plan.h"

namespace archive {

class InputArchive;

// Extracts each list of `plan` through its own archive object on its own
// thread, the first list through `archive` on the calling thread, after the
// handler's total-size hook has seen the whole and the plan's folders exist.
// The first failure stops every worker and is raised once all have ended.
void ExtractInParallel(const ArchiveHandler& handler, const InputArchive& archive, const ExtractionPlan& plan,
                       std::wstring_view archive_path, std::wstring_view output_folder);

}  // namespace archive
