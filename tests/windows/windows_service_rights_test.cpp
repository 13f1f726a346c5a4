// The access lists the setup program and the service ask for, read back
// through Windows' own ACL calls (Wine's advapi32 and its server, which keeps
// the lists of kernel objects but none on files): what they allow is for real
// Windows to show.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "installer/protected_folder.h"
#include "platform/process/machine_service.h"
#include "support/temp_folder.h"

namespace {

struct Entry {
    std::wstring sid;
    ACCESS_MASK mask;
    BYTE flags;
    bool operator==(const Entry&) const = default;
};

std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    EXPECT_TRUE(::ConvertSidToStringSidW(sid, &text));
    std::wstring copy = text ? text : L"";
    ::LocalFree(text);
    return copy;
}

std::vector<Entry> AllowedEntries(PACL acl)
{
    std::vector<Entry> entries;
    for (DWORD index = 0; acl && index < acl->AceCount; ++index) {
        void* ace = nullptr;
        EXPECT_TRUE(::GetAce(acl, index, &ace));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        entries.push_back({SidText(&allowed->SidStart), allowed->Mask, allowed->Header.AceFlags});
    }
    return entries;
}

constexpr BYTE kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

TEST(WindowsServiceRightsTest, ServiceFolderIsProtectedAndOwnedByTheAdministrators)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(kServiceFolderRights, SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the folder inherits from ProgramData";
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_EQ(SidText(owner), L"S-1-5-32-544");
    // Users: read, list, traverse and the attributes; nothing that writes.
    const std::vector<Entry> expected = {{L"S-1-5-18", FILE_ALL_ACCESS, kInherited},
                                         {L"S-1-5-32-544", FILE_ALL_ACCESS, kInherited},
                                         {L"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, kInherited}};
    EXPECT_EQ(AllowedEntries(dacl), expected);
    ::LocalFree(descriptor);
}

TEST(WindowsServiceRightsTest, ServiceFolderIsCreatedOnceAndSecuredWhenItExists)
{
    const testing_support::TempFolder temp;
    const std::wstring folder = (temp.path() / "MerroUpdate").wstring();
    EXPECT_EQ(ProtectServiceFolder(folder), FolderProtection::kCreated);
    EXPECT_EQ(ProtectServiceFolder(folder), FolderProtection::kSecuredExisting);
    const std::wstring file = (temp.path() / "a-file").wstring();
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_THROW(ProtectServiceFolder(file), std::runtime_error);
}

TEST(WindowsServiceRightsTest, InteractiveUsersMayOnlyWaitOnTheChangeEvent)
{
    const std::wstring name = L"MerroUpdate-test-" + std::to_wstring(::GetCurrentProcessId());
    const platform::ChangeEvent event(name);
    const std::wstring global = L"Global\\" + name;
    HANDLE opened = ::OpenEventW(READ_CONTROL, FALSE, global.c_str());
    ASSERT_NE(opened, nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    ASSERT_EQ(::GetSecurityInfo(opened, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                &descriptor),
              ERROR_SUCCESS);
    ::CloseHandle(opened);
    // The system may keep the generic right as it was given or mapped to the event's own.
    std::vector<Entry> entries = AllowedEntries(dacl);
    for (Entry& entry : entries) {
        if (entry.mask == GENERIC_ALL) entry.mask = EVENT_ALL_ACCESS;
    }
    const std::vector<Entry> expected = {
        {L"S-1-5-18", EVENT_ALL_ACCESS, 0}, {L"S-1-5-32-544", EVENT_ALL_ACCESS, 0}, {L"S-1-5-4", SYNCHRONIZE, 0}};
    EXPECT_EQ(entries, expected);
    ::LocalFree(descriptor);
}

}  // namespace
