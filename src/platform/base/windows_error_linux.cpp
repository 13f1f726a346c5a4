#include "platform/base/windows_error.h"

#include <cerrno>

namespace platform {

WindowsError LastSystemError()
{
    switch (errno) {
    case 0: return WindowsError::kSuccess;
    case ENOENT: return WindowsError::kFileNotFound;
    case ENOTDIR: return WindowsError::kPathNotFound;
    case EACCES:
    case EPERM: return WindowsError::kAccessDenied;
    case EEXIST: return WindowsError::kAlreadyExists;
    case ENOSPC: return WindowsError::kDiskFull;
    case EROFS: return WindowsError::kWriteProtect;
    default: return WindowsError::kGeneralFailure;
    }
}

}  // namespace platform
