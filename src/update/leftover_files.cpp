#include "update/leftover_files.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/base/text.h"
#include "platform/files/file_system.h"
#include "platform/paths/native_path.h"
#include "platform/process/process_list.h"
#include "update/paths.h"

namespace {

constexpr std::wstring_view kTemporaryMark = L".tmp-";

bool AllDigits(std::wstring_view text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring_view::npos;
}

// A process id is 32 bits on both systems; 0 for a larger number.
unsigned long ProcessIdOf(std::wstring_view digits)
{
    std::uint64_t value = 0;
    for (const wchar_t digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - L'0');
        if (value > UINT32_MAX) return 0;
    }
    return static_cast<unsigned long>(value);
}

// The writer's process id when `name` is "<target>.tmp-<pid>-<n>" for one of
// the working files, 0 otherwise.
unsigned long WriterOfTemporaryFile(std::wstring_view name)
{
    for (const std::wstring_view target :
         {LocalConfigFileName, VersionDocFileName, PackageFileName, UncheckedPackageFileName, SetAsideRecordFileName,
          StoredDocFileName, RetryAfterFileName}) {
        if (!name.starts_with(target) || !name.substr(target.size()).starts_with(kTemporaryMark)) continue;
        const std::wstring_view rest = name.substr(target.size() + kTemporaryMark.size());
        const std::size_t dash = rest.find(L'-');
        if (dash == std::wstring_view::npos || !AllDigits(rest.substr(0, dash)) || !AllDigits(rest.substr(dash + 1))) {
            return 0;
        }
        return ProcessIdOf(rest.substr(0, dash));
    }
    return 0;
}

}  // namespace

void RemoveLeftoverFiles()
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(".", error), end; !error && entry != end; entry.increment(error)) {
        const std::wstring name = platform::Utf8ToWide(platform::GenericUtf8Path(entry->path().filename()));
        const unsigned long writer = WriterOfTemporaryFile(name);
        // A running writer may be another copy of the program in this folder
        // (one started by another user, whom the single-instance guard does
        // not stop): its file is still being written.
        if (writer == 0 || platform::IsProcessIdRunning(writer) || !entry->is_regular_file(error)) continue;
        platform::RemoveFile(name);
    }
}
