#pragma once
// The Users group's entries that earlier versions added to the machine-wide
// folders of the extension, so that each user's copy could replace it: they
// are only ever taken away now. Only that one entry is removed: whatever
// else an administrator or another vendor granted on a folder stays.
#include <filesystem>

#include "platform/security/access_list.h"

namespace platform {

enum class UsersAccess {
    kCreateFolders,  // create subfolders of this folder, nothing below it
    kModify,         // change and delete the folder and all it holds, now and later
};

// The explicit entry that gives the Users group `access`.
AllowedEntry UsersEntry(UsersAccess access);

// Removes that entry, as an earlier version's setup program added it, from
// the folder's rights and leaves every other entry as it was; true when there
// was one. The rights are read and written through a handle opened on the
// folder itself: a symbolic link, junction or other reparse point at
// `folder` is refused, never followed to whatever it names. Raises
// std::system_error when the folder cannot be opened or its rights read or
// changed. Linux: the extension's folders are in the user's own Wine prefix,
// where nothing was ever granted (false).
bool RevokeUsers(const std::filesystem::path& folder, UsersAccess access);

}  // namespace platform
