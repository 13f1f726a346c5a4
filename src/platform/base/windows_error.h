#pragma once
// Failures of the file and library calls, told in Windows error numbers: the
// extraction layer reports them to the codec library as HRESULTs.
#include <cstdint>

namespace platform {

enum class WindowsError : std::uint32_t {
    kSuccess = 0,
    kFileNotFound = 2,
    kPathNotFound = 3,
    kAccessDenied = 5,
    kWriteProtect = 19,
    kGeneralFailure = 31,
    kDiskFull = 112,
    kModuleNotFound = 126,
    kProcedureNotFound = 127,
    kAlreadyExists = 183,
    kBadExecutableFormat = 193,
};

// The Windows error number of the calling thread's last failed system call.
WindowsError LastSystemError();

}  // namespace platform
