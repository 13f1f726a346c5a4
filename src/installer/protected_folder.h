#pragma once
// The service's working folder in ProgramData, which lets every user create
// files and folders: made with its own protected access list before anything
// is written into it.
#include <string>

// SYSTEM and the administrators have full control, Users read and execute,
// inherited by everything inside; nothing is inherited from the parent
// (the list is protected), and the administrators own it.
inline constexpr wchar_t kServiceFolderRights[] = L"O:BAG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

enum class FolderProtection { kCreated, kSecuredExisting };

// Creates `folder` with those rights in one call, so it is never open to
// users; an existing folder gets the same owner and rights, set through a
// handle on the folder itself. A junction or link in its place is refused.
// Raises std::runtime_error with the failing call's reason.
FolderProtection ProtectServiceFolder(const std::wstring& folder);
