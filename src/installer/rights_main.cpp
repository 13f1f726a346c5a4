// merroupdate-rights.exe, run elevated by the setup program and its
// uninstaller:
//
//   merroupdate-rights grant|revoke create-folders|modify FOLDER
//
// adds (grant) or removes (revoke) the Users group's one explicit entry of
// that access on FOLDER and leaves every other entry as it was. Exits 0 when
// it changed the folder's rights, 10 when there was nothing to do (the entry
// was there already, or was not there to remove), 1 with the reason when the
// rights could not be read or changed, 2 on a wrong command line. The setup
// program records which entries it added, so the uninstaller removes those
// and never one an administrator made.
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
    const bool grant = verb == L"grant";
    const bool known_access = access_name == L"create-folders" || access_name == L"modify";
    if ((!grant && verb != L"revoke") || !known_access) {
        std::fputs("usage: merroupdate-rights grant|revoke create-folders|modify FOLDER\n", stderr);
        return kUsage;
    }
    const auto access =
        access_name == L"modify" ? platform::UsersAccess::kModify : platform::UsersAccess::kCreateFolders;
    const std::string folder = platform::WideToUtf8(argv[3]);
    const std::string entry = "the Users group's " + platform::WideToUtf8(access_name) + " entry";
    try {
        if (grant ? platform::GrantUsers(argv[3], access) : platform::RevokeUsers(argv[3], access)) {
            std::printf("%s %s %s %s\n", grant ? "Added" : "Removed", entry.c_str(), grant ? "to" : "from",
                        folder.c_str());
            return kChanged;
        }
        std::printf("%s %s %s\n", folder.c_str(), grant ? "has already" : "has not", entry.c_str());
        return kUnchanged;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "merroupdate-rights: %s\n", error.what());
        return kFailed;
    }
}
