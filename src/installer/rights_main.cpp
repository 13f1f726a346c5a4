// merroupdate-rights.exe, run elevated by the setup program at an upgrade and
// by its uninstaller:
//
//   merroupdate-rights revoke create-folders|modify FOLDER
//
// removes the Users group's one explicit entry of that access, which an
// earlier version's setup program added, from FOLDER and leaves every other
// entry as it was. The folder is edited through a handle on itself; a
// junction or other reparse point at its place is refused. Exits 0 when it
// changed the folder's rights, 10 when there was nothing to do (no such
// entry), 1 with the reason when the folder is a reparse point or its rights
// could not be read or changed, 2 on a wrong command line. The setup program
// records which entries it added, so only those are removed and never one an
// administrator made.
#include <cstdio>
#include <exception>
#include <string_view>

#include "platform/base/text.h"
#include "platform/security/folder_access.h"

namespace {

constexpr int kChanged = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kUnchanged = 10;

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring_view verb = argc == 4 ? argv[1] : L"";
    const std::wstring_view access_name = argc == 4 ? argv[2] : L"";
    if (verb != L"revoke" || (access_name != L"create-folders" && access_name != L"modify")) {
        std::fputs("usage: merroupdate-rights revoke create-folders|modify FOLDER\n", stderr);
        return kUsage;
    }
    const auto access =
        access_name == L"modify" ? platform::UsersAccess::kModify : platform::UsersAccess::kCreateFolders;
    const std::string folder = platform::WideToUtf8(argv[3]);
    const std::string entry = "the Users group's " + platform::WideToUtf8(access_name) + " entry";
    try {
        if (platform::RevokeUsers(argv[3], access)) {
            std::printf("Removed %s from %s\n", entry.c_str(), folder.c_str());
            return kChanged;
        }
        std::printf("%s has not %s\n", folder.c_str(), entry.c_str());
        return kUnchanged;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "merroupdate-rights: %s\n", error.what());
        return kFailed;
    }
}
