#include "platform/durable/atomic_file.h"

#include "platform/base/text.h"
#include "platform/durable/replacement_file.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw FileWriteError("Cannot write " + path + ": " + reason);
}

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view content)
{
    const std::wstring target = Utf8ToWide(path);
    const ReplacedFile old_file = LookAtReplacedFile(target);
    if (old_file.read_only) Fail(path, "the file is read-only");
    ReplacementFile replacement(target, old_file.mode ? old_file.mode : 0644);
    if (replacement.error() != 0 || replacement.Write(content.data(), content.size()) != 0 ||
        replacement.Commit() != 0) {
        Fail(path, std::string(replacement.failed_call()) + " failed: " + replacement.ErrorText());
    }
}

}  // namespace platform
