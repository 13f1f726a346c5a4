// Any file extracted as a ZIP archive through the real codec library either
// extracts or fails with ArchiveError, and whatever it writes stays below the
// output folder as plain files and folders, with no descriptor left open.

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "archive/archive_error.h"
#include "archive/codec_library.h"
#include "archive/extractor.h"
#include "fuzz_support.h"
#include "platform/base/text.h"
#include "support/temp_folder.h"

namespace {

using fuzz_support::Require;

namespace fs = std::filesystem;

// root/a/b/c holds the archive and the output folder, so that an item that
// climbs out by up to four levels still lands inside root where it is seen.
class ExtractionFolders {
public:
    ExtractionFolders() : root_(scratch_.path())
    {
        const fs::path nest = root_ / "a" / "b" / "c";
        fs::create_directories(nest);
        for (fs::path at = nest; at != root_; at = at.parent_path()) expected_.insert(at);
        archive_ = nest / "input.zip";
        output_ = nest / "out";
        expected_.insert(archive_);
        expected_.insert(output_);
    }

    const fs::path& Archive() const { return archive_; }
    const fs::path& Output() const { return output_; }

    // Outside the output folder only the scratch layout itself; inside it
    // only files and folders, without set-id or sticky bits.
    void CheckContents() const
    {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
            const fs::path& path = entry.path();
            if (expected_.contains(path)) continue;
            Require(IsBelowOutput(path));
            const fs::file_status status = entry.symlink_status();
            Require(status.type() == fs::file_type::regular || status.type() == fs::file_type::directory);
            const fs::perms special = fs::perms::set_uid | fs::perms::set_gid | fs::perms::sticky_bit;
            Require((status.permissions() & special) == fs::perms::none);
        }
    }

private:
    bool IsBelowOutput(const fs::path& path) const
    {
        const std::string prefix = output_.string() + "/";
        return path.string().compare(0, prefix.size(), prefix) == 0;
    }

    testing_support::TempFolder scratch_;
    fs::path root_;
    fs::path archive_;
    fs::path output_;
    std::set<fs::path> expected_;
};

std::size_t OpenDescriptorCount()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ExtractionFolders scratch;
    static const archive::CodecLibrary library(L"7z.so");
    static const archive::Extractor extractor(library, archive::formats::Zip);

    Require(testing_support::WriteFileBytes(scratch.Archive(), std::string(reinterpret_cast<const char*>(data), size)));
    fs::create_directory(scratch.Output());
    const std::size_t descriptors = OpenDescriptorCount();

    try {
        extractor.ExtractToFolder(platform::Utf8ToWide(scratch.Archive().string()),
                                  platform::Utf8ToWide(scratch.Output().string()));
    } catch (const archive::ArchiveError&) {
    }
    Require(OpenDescriptorCount() == descriptors);
    scratch.CheckContents();
    fs::remove_all(scratch.Output());
    return 0;
}
