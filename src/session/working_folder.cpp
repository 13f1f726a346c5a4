#include "session/working_folder.h"

namespace fs = std::filesystem;

namespace {

void CopyInPlace(const fs::path& from, const fs::path& to)
{
    fs::path temporary = to;
    temporary += ".tmp";
    fs::copy_file(from, temporary, fs::copy_options::overwrite_existing);
    fs::rename(temporary, to);
}

}  // namespace

bool PrepareWorkingFolder(const fs::path& defaults, const fs::path& folder)
{
    if (fs::exists(folder / kConfigurationName)) return false;
    fs::create_directories(folder);
    CopyInPlace(defaults / kDeliveredPackageName, folder / kDeliveredPackageName);
    CopyInPlace(defaults / kConfigurationName, folder / kConfigurationName);
    return true;
}
