#pragma once
// Shared libraries loaded at run time, and the functions they export.
#include <memory>
#include <span>
#include <string_view>

#include "platform/base/windows_error.h"

namespace platform {

struct LibraryCloser {
    void operator()(void* module) const;
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

// Loads a library. A bare file name is looked for beside the executable, then
// in the codec library's system folder, then by the dynamic linker's search.
// Fails with kModuleNotFound when no such file exists and with
// kBadExecutableFormat when the file is not a loadable library.
WindowsError LoadSharedLibrary(std::wstring_view file_name, LibraryHandle& library);

// The file names of the 7-Zip codec library, in the order they are tried:
// 7z.so on Linux; 7za.dll, then 7z.dll on Windows.
std::span<const std::wstring_view> CodecLibraryFileNames();

// Address of an exported function; kProcedureNotFound when it is missing.
WindowsError FindExport(const LibraryHandle& library, const char* name, void*& address);

}  // namespace platform
