#include "installer/protected_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/base/text.h"

namespace {

[[noreturn]] void Fail(const std::string& what, DWORD error)
{
    throw std::runtime_error(what + ": " + std::system_category().message(static_cast<int>(error)));
}

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

std::unique_ptr<void, LocalFreer> Descriptor()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kServiceFolderRights, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        Fail("Cannot describe the folder's rights", ::GetLastError());
    }
    return std::unique_ptr<void, LocalFreer>(descriptor);
}

void SecureExisting(const std::wstring& folder, PSECURITY_DESCRIPTOR descriptor)
{
    const std::string name = platform::WideToUtf8(folder);
    // Opened without following a junction, so the rights land on this
    // folder and nowhere it might lead.
    HANDLE handle = ::CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) Fail("Cannot open " + name, ::GetLastError());
    const std::unique_ptr<void, decltype(&::CloseHandle)> owner_of_handle(handle, ::CloseHandle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) Fail("Cannot look at " + name, ::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        throw std::runtime_error(name + " is a junction or link, not a folder: remove it");
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw std::runtime_error(name + " is not a folder");
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const DWORD error =
        ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                          owner, nullptr, dacl, nullptr);
    if (error != ERROR_SUCCESS) Fail("Cannot set the rights of " + name, error);
}

}  // namespace

FolderProtection ProtectServiceFolder(const std::wstring& folder)
{
    const auto descriptor = Descriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    if (::CreateDirectoryW(folder.c_str(), &attributes)) return FolderProtection::kCreated;
    if (const DWORD error = ::GetLastError(); error != ERROR_ALREADY_EXISTS) {
        Fail("Cannot create " + platform::WideToUtf8(folder), error);
    }
    SecureExisting(folder, descriptor.get());
    return FolderProtection::kSecuredExisting;
}
