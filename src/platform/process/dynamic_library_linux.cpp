#include "platform/process/dynamic_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

#include "platform/base/text.h"
#include "platform/paths/executable_path.h"

namespace platform {
namespace {

constexpr const char* kCodecLibraryFolder = "/usr/lib/p7zip/";

bool IsRegularFile(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

WindowsError Open(const std::string& path, LibraryHandle& library, WindowsError failure)
{
    // RTLD_LOCAL keeps the library's symbols out of the global scope; the
    // executable exports no SysAllocString, so the library binds its own.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return failure;
    library.reset(module);
    return WindowsError::kSuccess;
}

}  // namespace

std::span<const std::wstring_view> CodecLibraryFileNames()
{
    static constexpr std::wstring_view kNames[] = {L"7z.so"};
    return kNames;
}

void LibraryCloser::operator()(void* module) const { dlclose(module); }

WindowsError LoadSharedLibrary(std::wstring_view file_name, LibraryHandle& library)
{
    const std::string name = WideToUtf8(file_name);
    if (name.empty()) return WindowsError::kModuleNotFound;
    if (name.find('/') != std::string::npos) {
        if (!IsRegularFile(name)) return WindowsError::kModuleNotFound;
        return Open(name, library, WindowsError::kBadExecutableFormat);
    }
    for (const std::string& folder : {WideToUtf8(ExecutableFolder()) + "/", std::string(kCodecLibraryFolder)}) {
        if (IsRegularFile(folder + name)) return Open(folder + name, library, WindowsError::kBadExecutableFormat);
    }
    return Open(name, library, WindowsError::kModuleNotFound);
}

WindowsError FindExport(const LibraryHandle& library, const char* name, void*& address)
{
    address = dlsym(library.get(), name);
    return address ? WindowsError::kSuccess : WindowsError::kProcedureNotFound;
}

}  // namespace platform
