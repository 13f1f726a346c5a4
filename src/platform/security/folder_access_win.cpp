#include "platform/security/folder_access.h"

#include "platform/base/windows_api_win.h"

#include <aclapi.h>

#include <cstring>
#include <functional>
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

using AclEdit = std::function<std::optional<std::vector<std::uint8_t>>(std::span<const std::uint8_t>)>;

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

[[noreturn]] void Fail(DWORD error, const char* what, const std::filesystem::path& folder)
{
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            std::string(what) + " " + WideToUtf8(folder.wstring()));
}

// Reads the folder's DACL, edits it, and writes it back when the edit
// changed it. Windows recomputes the inherited entries from the parent and
// carries inheritable ones down to what the folder holds.
bool EditRights(const std::filesystem::path& folder, const AclEdit& edit)
{
    std::wstring name = LongPath(folder.wstring());
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
    DWORD error = ::GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &dacl, nullptr, &raw_descriptor);
    if (error != ERROR_SUCCESS) Fail(error, "Cannot read the rights on", folder);
    const std::unique_ptr<void, LocalFreer> descriptor(raw_descriptor);
    // No DACL at all lets everyone do everything: nothing to add or take away.
    if (!dacl) return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor.get(), &control, &revision)) {
        Fail(::GetLastError(), "Cannot read the rights on", folder);
    }
    const auto edited = edit({reinterpret_cast<const std::uint8_t*>(dacl), dacl->AclSize});
    if (!edited) return false;
    // An ACL is DWORD-aligned.
    std::vector<DWORD> list((edited->size() + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(list.data(), edited->data(), edited->size());
    // Whether the folder inherits from its parent stays as it was.
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    error = ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, nullptr, nullptr,
                                    reinterpret_cast<PACL>(list.data()), nullptr);
    if (error != ERROR_SUCCESS) Fail(error, "Cannot change the rights on", folder);
    return true;
}

}  // namespace

bool GrantUsers(const std::filesystem::path& folder, UsersAccess access)
{
    const AllowedEntry entry = UsersEntry(access);
    return EditRights(folder, [&](std::span<const std::uint8_t> acl) { return WithAllowedEntry(acl, entry); });
}

bool RevokeUsers(const std::filesystem::path& folder, UsersAccess access)
{
    const AllowedEntry entry = UsersEntry(access);
    return EditRights(folder, [&](std::span<const std::uint8_t> acl) { return WithoutAllowedEntry(acl, entry); });
}

}  // namespace platform
