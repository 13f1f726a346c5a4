#include "platform/security/folder_access.h"

namespace platform {

// The Wine prefix, and so the extension's folders, belong to the user.
bool RevokeUsers(const std::filesystem::path&, UsersAccess) { return false; }

}  // namespace platform
