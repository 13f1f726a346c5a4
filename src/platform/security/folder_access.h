#pragma once
// What the Users group of the machine may do in the machine-wide folders of
// the extension, which each user's copy of the program replaces in turn.
// Only the program's own entry is ever added or removed: whatever else an
// administrator or another vendor granted on a folder stays as it was.
#include <filesystem>

#include "platform/security/access_list.h"

namespace platform {

enum class UsersAccess {
    kCreateFolders,  // create subfolders of this folder, nothing below it
    kModify,         // change and delete the folder and all it holds, now and later
};

// The explicit entry that gives the Users group `access`.
AllowedEntry UsersEntry(UsersAccess access);

// Adds that entry to the folder's rights, unless an explicit entry exactly
// like it is there; inheritable rights reach what the folder holds already.
// True when it was added. Raises std::system_error when the rights cannot be
// read or changed. Linux: the extension's folders are in the user's own Wine
// prefix, so nothing is granted (false).
bool GrantUsers(const std::filesystem::path& folder, UsersAccess access);

// Removes the one explicit entry GrantUsers adds; true when there was one.
bool RevokeUsers(const std::filesystem::path& folder, UsersAccess access);

}  // namespace platform
