#include "update/extension_replacement.h"

#include "update/native_path.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

fs::path ExtensionFolder() { return NativePath(ExtensionDir()); }

fs::path Sibling(const char* suffix)
{
    fs::path sibling = ExtensionFolder();
    sibling += suffix;
    return sibling;
}

}  // namespace

fs::path SetAsideFolder() { return Sibling(".old"); }
fs::path DiscardFolder() { return Sibling(".discard"); }

void ClearExtensionFolder()
{
    fs::rename(ExtensionFolder(), SetAsideFolder());
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
    fs::rename(SetAsideFolder(), DiscardFolder());
    fs::remove_all(DiscardFolder());
}

void RecoverInterruptedReplacement()
{
    if (fs::exists(DiscardFolder())) fs::remove_all(DiscardFolder());
    if (!fs::exists(SetAsideFolder())) return;
    fs::remove_all(ExtensionFolder());
    fs::rename(SetAsideFolder(), ExtensionFolder());
}
