// The access lists we edit against Windows' own ACL calls (Wine's advapi32):
// what they build we read, and what we write they take as valid. Wine keeps
// no permissions on files, so what a removal takes away is for real Windows
// to show.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/base/text.h"
#include "platform/security/folder_access.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

using platform::UsersAccess;

std::vector<std::uint8_t> SidOf(const wchar_t* text)
{
    PSID sid = nullptr;
    EXPECT_TRUE(::ConvertStringSidToSidW(text, &sid));
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    std::vector<std::uint8_t> copy(bytes, bytes + ::GetLengthSid(sid));
    ::LocalFree(sid);
    return copy;
}

TEST(WindowsFolderAccessTest, EntriesGoWhereWindowsOrdersThemAndComeOutAgain)
{
    const std::vector<std::uint8_t> users = SidOf(L"S-1-5-32-545");
    ASSERT_EQ(platform::UsersGroupSid(), users);
    const std::vector<std::uint8_t> system = SidOf(L"S-1-5-18");
    // An administrator's deny and allow entries, then one inherited from the parent.
    std::vector<DWORD> storage(64);
    auto* acl = reinterpret_cast<PACL>(storage.data());
    ASSERT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(storage.size() * sizeof(DWORD)), ACL_REVISION));
    ASSERT_TRUE(::AddAccessDeniedAceEx(acl, ACL_REVISION, 0, DELETE, const_cast<std::uint8_t*>(users.data())));
    ASSERT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION, CONTAINER_INHERIT_ACE, FILE_GENERIC_READ,
                                        const_cast<std::uint8_t*>(users.data())));
    ASSERT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION, INHERITED_ACE, GENERIC_ALL,
                                        const_cast<std::uint8_t*>(system.data())));

    const platform::AllowedEntry ours = platform::UsersEntry(UsersAccess::kModify);
    const std::span<const std::uint8_t> before(reinterpret_cast<const std::uint8_t*>(acl), acl->AclSize);
    auto granted = platform::WithAllowedEntry(before, ours);
    ASSERT_TRUE(granted);
    granted->resize((granted->size() + 3) / 4 * 4);
    std::vector<DWORD> aligned(granted->size() / 4);
    std::memcpy(aligned.data(), granted->data(), granted->size());
    auto* result = reinterpret_cast<PACL>(aligned.data());
    ASSERT_TRUE(::IsValidAcl(result));
    ASSERT_EQ(result->AceCount, 4);
    void* entry = nullptr;
    ASSERT_TRUE(::GetAce(result, 2, &entry));
    const auto* added = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(added->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(added->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(added->Mask, DWORD{FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE});
    EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&added->SidStart), const_cast<std::uint8_t*>(users.data())));
    ASSERT_TRUE(::GetAce(result, 3, &entry));
    EXPECT_EQ(static_cast<const ACE_HEADER*>(entry)->AceFlags, INHERITED_ACE);

    const auto revoked = platform::WithoutAllowedEntry(*granted, ours);
    ASSERT_TRUE(revoked);
    EXPECT_TRUE(std::equal(revoked->begin() + 4, revoked->end(), before.begin() + 4));
}

// The rights are edited through a handle opened on the folder itself, and
// only on a folder: what the handle turns out to be is checked before any
// edit. Wine 8 can make no junction (FSCTL_SET_REPARSE_POINT fails with
// ERROR_NOT_SUPPORTED, CreateSymbolicLinkW succeeds and makes nothing), so
// the refusal of a reparse point needs real Windows.
TEST(WindowsFolderAccessTest, RevokeOpensTheFolderItselfOrFailsNamingIt)
{
    const testing_support::TempFolder work;
    EXPECT_NO_THROW(platform::RevokeUsers(work.path(), UsersAccess::kCreateFolders));
    testing_support::WriteFileBytes(work.path() / "file", "not a folder");
    const struct {
        const char* name;
        std::string said;
    } cases[] = {{"missing", "Cannot open " + platform::WideToUtf8(work.path().wstring()) + "\\missing"},
                 {"file", "Not a folder: " + platform::WideToUtf8(work.path().wstring()) + "\\file"}};
    for (const auto& [name, said] : cases) {
        try {
            platform::RevokeUsers(work.path() / name, UsersAccess::kModify);
            ADD_FAILURE() << "the rights of " << name << " were edited";
        } catch (const std::system_error& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(said)) << error.what();
        }
    }
}

}  // namespace
