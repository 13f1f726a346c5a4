#include "update/extension_replacement.h"

#include "platform/files/file_system.h"
#include "platform/paths/native_path.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

fs::path ExtensionFolder() { return platform::NativePath(ExtensionDir()); }

// Beside the extensions folder rather than in it, so the host application
// never loads the old copy as a second extension; still on the same file
// system, so every move is a rename.
fs::path BesideExtensions(const char* name) { return platform::NativePath(CepRootDir()) / name; }

}  // namespace

fs::path SetAsideFolder() { return BesideExtensions("com.qv.plug.old"); }
fs::path DiscardFolder() { return BesideExtensions("com.qv.plug.discard"); }

void ClearExtensionFolder()
{
    platform::MoveFolder(ExtensionFolder(), SetAsideFolder());
    fs::create_directory(ExtensionFolder());
}

void MarkFreshExtensionFolder()
{
    // Restoring an empty folder is as good as restoring none.
    fs::create_directory(SetAsideFolder());
}

void DiscardSetAsideContents()
{
    // The rename is the moment the new contents become the ones to keep.
    platform::MoveFolder(SetAsideFolder(), DiscardFolder());
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
}
