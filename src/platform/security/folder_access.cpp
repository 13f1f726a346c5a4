#include "platform/security/folder_access.h"

namespace platform {
namespace {

// The access masks icacls calls (AD) and (M).
constexpr std::uint32_t kAddSubfolder = 0x4;       // FILE_ADD_SUBDIRECTORY
constexpr std::uint32_t kModifyRights = 0x1301BF;  // generic read, write and execute, and DELETE

}  // namespace

AllowedEntry UsersEntry(UsersAccess access)
{
    if (access == UsersAccess::kCreateFolders) return {UsersGroupSid(), kAddSubfolder, 0};
    return {UsersGroupSid(), kModifyRights, kFilesInherit | kFoldersInherit};
}

}  // namespace platform
