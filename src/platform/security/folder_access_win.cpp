#include "platform/security/folder_access.h"

#include "platform/base/windows_api_win.h"

#include <aclapi.h>

#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/base/text.h"
#include "platform/paths/long_path_win.h"

namespace platform {
namespace {

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

[[noreturn]] void Fail(DWORD error, const char* what, const std::filesystem::path& folder)
{
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            std::string(what) + " " + WideToUtf8(folder.wstring()));
}

// The folder itself, never what a reparse point at its place names: an
// edit through a path would follow a junction to any folder of the machine,
// and a setup program runs this as an administrator.
UniqueHandle OpenFolderItself(const std::filesystem::path& folder)
{
    const std::wstring name = LongPath(folder.wstring());
    // FILE_FLAG_BACKUP_SEMANTICS: a folder opens only with it.
    const HANDLE handle = ::CreateFileW(name.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) Fail(::GetLastError(), "Cannot open", folder);
    UniqueHandle opened(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) Fail(::GetLastError(), "Cannot look at", folder);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        Fail(ERROR_CANT_RESOLVE_FILENAME, "Refusing the reparse point", folder);
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Fail(ERROR_DIRECTORY, "Not a folder:", folder);
    return opened;
}

// Reads the folder's DACL, takes the entry out, and writes it back when it
// was there. Windows carries the change down to what the folder holds.
bool RemoveEntry(const std::filesystem::path& folder, const AllowedEntry& entry)
{
    const UniqueHandle handle = OpenFolderItself(folder);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
    DWORD error = ::GetSecurityInfo(handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &raw_descriptor);
    if (error != ERROR_SUCCESS) Fail(error, "Cannot read the rights on", folder);
    const std::unique_ptr<void, LocalFreer> descriptor(raw_descriptor);
    // No DACL at all lets everyone do everything: nothing to take away.
    if (!dacl) return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor.get(), &control, &revision)) {
        Fail(::GetLastError(), "Cannot read the rights on", folder);
    }
    const auto edited = WithoutAllowedEntry({reinterpret_cast<const std::uint8_t*>(dacl), dacl->AclSize}, entry);
    if (!edited) return false;
    // An ACL is DWORD-aligned.
    std::vector<DWORD> list((edited->size() + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(list.data(), edited->data(), edited->size());
    // Whether the folder inherits from its parent stays as it was.
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    error = ::SetSecurityInfo(handle.get(), SE_FILE_OBJECT, what, nullptr, nullptr, reinterpret_cast<PACL>(list.data()),
                              nullptr);
    if (error != ERROR_SUCCESS) Fail(error, "Cannot change the rights on", folder);
    return true;
}

}  // namespace

bool RevokeUsers(const std::filesystem::path& folder, UsersAccess access)
{
    return RemoveEntry(folder, UsersEntry(access));
}

}  // namespace platform
