#include "update/extension_replacement.h"

#include "platform/files/file_system.h"
#include "platform/paths/native_path.h"
#include "platform/security/folder_access.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

fs::path ExtensionFolder() { return platform::NativePath(ExtensionDir()); }

// Beside the extensions folder rather than in it, so the host application
// never loads the old copy as a second extension; still on the same file
// system, so every move is a rename.
fs::path BesideExtensions(const char* name) { return platform::NativePath(CepRootDir()) / name; }

// Makes the renames and folder creations between the Adobe folder and the
// extension folder durable, so that a power loss cannot undo them later.
void FlushExtensionParents()
{
    const fs::path extensions = ExtensionFolder().parent_path();
    platform::FlushFolder(extensions);
    platform::FlushFolder(extensions.parent_path());
    platform::FlushFolder(extensions.parent_path().parent_path());
}

// A folder that is, or may be put back as, the live extension folder. Made
// by this user, it would be this user's alone; every user's copy of the
// program must be able to replace it in turn.
void CreateSharedFolder(const fs::path& folder)
{
    fs::create_directory(folder);
    platform::GrantUsers(folder, platform::UsersAccess::kModify);
}

}  // namespace

fs::path SetAsideFolder() { return BesideExtensions("com.qv.plug.old"); }
fs::path DiscardFolder() { return BesideExtensions("com.qv.plug.discard"); }

void ClearExtensionFolder()
{
    platform::MoveFolder(ExtensionFolder(), SetAsideFolder());
    // Else the folder created next could outlast the rename, and the old
    // contents be lost.
    FlushExtensionParents();
    CreateSharedFolder(ExtensionFolder());
}

void CreateFreshExtensionFolder()
{
    CreateSharedFolder(ExtensionFolder());
    // Restoring an empty folder is as good as restoring none.
    CreateSharedFolder(SetAsideFolder());
    FlushExtensionParents();
}

void DiscardSetAsideContents()
{
    // The new contents are durable before the old ones are given up, and
    // the rename, the moment the new contents become the ones to keep, is
    // durable before anything records them.
    platform::FlushTree(ExtensionFolder());
    FlushExtensionParents();
    platform::MoveFolder(SetAsideFolder(), DiscardFolder());
    FlushExtensionParents();
    platform::RemoveTree(DiscardFolder());
}

void RecoverInterruptedReplacement()
{
    if (fs::exists(DiscardFolder())) platform::RemoveTree(DiscardFolder());
    if (!fs::exists(SetAsideFolder())) return;
    platform::RemoveTree(ExtensionFolder());
    // The extensions folder may have gone with whatever interrupted us.
    fs::create_directories(ExtensionFolder().parent_path());
    platform::MoveFolder(SetAsideFolder(), ExtensionFolder());
    FlushExtensionParents();
}
