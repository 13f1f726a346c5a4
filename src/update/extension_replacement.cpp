#include "update/extension_replacement.h"

#include <initializer_list>
#include <system_error>

#include "platform/base/text.h"
#include "platform/durable/atomic_file.h"
#include "platform/files/file_system.h"
#include "platform/paths/native_path.h"
#include "update/log/log_value.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

fs::path ExtensionFolder() { return platform::NativePath(ExtensionDir()); }
fs::path ExtensionsFolder() { return ExtensionFolder().parent_path(); }
fs::path CepFolder() { return ExtensionsFolder().parent_path(); }

// Beside the extensions folder rather than in it, so the host application
// never loads the old copy as a second extension; still on the same file
// system, so every move is a rename.
fs::path BesideExtensions(const char* name) { return CepFolder() / name; }

// The entry itself, a link being one whatever it points to.
bool Exists(const fs::path& path) { return fs::exists(fs::symlink_status(path)); }

// A link from the Adobe folder down would carry every step below it to
// another place.
void RefuseLinksAbove()
{
    for (const fs::path& folder : {CepFolder().parent_path(), CepFolder(), ExtensionsFolder()}) {
        platform::RefuseLink(folder);
    }
}

// Makes the missing levels between the Adobe folder and the extension
// folder, each one new.
void CreateMissingParents()
{
    for (const fs::path& folder : {CepFolder(), ExtensionsFolder()}) {
        const fs::file_status status = fs::symlink_status(folder);
        if (!fs::exists(status)) {
            platform::CreateFolderExclusively(folder);
        } else if (!fs::is_directory(status)) {
            throw fs::filesystem_error("not a folder", folder, std::make_error_code(std::errc::not_a_directory));
        }
    }
}

// Makes the renames and folder creations between the Adobe folder and the
// extension folder durable, so that a power loss cannot undo them later. A
// level that is not there (yet) holds nothing to flush.
void FlushExtensionParents()
{
    for (const fs::path& folder : {ExtensionsFolder(), CepFolder(), CepFolder().parent_path()}) {
        if (Exists(folder)) platform::FlushFolder(folder);
    }
}

const std::string& RecordFile()
{
    static const std::string name = platform::WideToUtf8(SetAsideRecordFileName);
    return name;
}

// Durable before it is removed: a record that came back after a power loss
// would vouch for whatever stands at the set-aside folder's place by then.
void EndRecord()
{
    platform::RemoveFile(SetAsideRecordFileName);
    platform::FlushFolder(".");
}

}  // namespace

fs::path SetAsideFolder() { return BesideExtensions("com.qv.plug.old"); }
fs::path DiscardFolder() { return BesideExtensions("com.qv.plug.discard"); }
fs::path StagingFolder() { return platform::NativePath(StagingDir()); }

bool ReplacementRecorded() { return Exists(platform::NativePath(SetAsideRecordFileName)); }

bool StartReplacement()
{
    RefuseLinksAbove();
    for (const fs::path& folder : {SetAsideFolder(), DiscardFolder(), StagingFolder()}) {
        if (Exists(folder)) {
            throw fs::filesystem_error("already there", folder, std::make_error_code(std::errc::file_exists));
        }
    }
    platform::RefuseLink(ExtensionFolder());
    const bool replacing = Exists(ExtensionFolder());
    if (!replacing) CreateMissingParents();
    platform::ReplaceFileContent(RecordFile(), "");
    if (replacing) {
        platform::MoveFolder(ExtensionFolder(), SetAsideFolder());
        // Else the folder renamed into place later could outlast this
        // rename, and the old contents be lost.
        FlushExtensionParents();
    }
    platform::CreateFolderExclusively(StagingFolder());
    return replacing;
}

void PutNewContentsInPlace()
{
    // The new contents are durable before they become the extension, and
    // that rename is durable before the old ones are given up.
    platform::FlushTree(StagingFolder());
    RefuseLinksAbove();
    platform::MoveFolder(StagingFolder(), ExtensionFolder());
    FlushExtensionParents();
}

void DiscardSetAsideContents()
{
    if (Exists(SetAsideFolder())) {
        platform::MoveFolder(SetAsideFolder(), DiscardFolder());
        FlushExtensionParents();
        platform::RemoveTree(DiscardFolder());
        // Else the record could go while the discard folder came back.
        platform::FlushFolder(CepFolder());
    }
    EndRecord();
}

void RecoverInterruptedReplacement(const ActivityLog& log)
{
    RefuseLinksAbove();
    if (!ReplacementRecorded()) {
        for (const fs::path& folder : {SetAsideFolder(), DiscardFolder(), StagingFolder()}) {
            if (Exists(folder)) log->error(logtext::RecoverNotRecorded, LogValue(platform::GenericUtf8Path(folder)));
        }
        return;
    }
    if (Exists(SetAsideFolder())) {
        platform::RefuseLink(SetAsideFolder());
        // Whatever stands in the extension's place, a link too, is removed,
        // never followed.
        platform::RemoveTree(ExtensionFolder());
        // The extensions folder may have gone with whatever interrupted us.
        CreateMissingParents();
        platform::MoveFolder(SetAsideFolder(), ExtensionFolder());
    }
    for (const fs::path& folder : {DiscardFolder(), StagingFolder()}) {
        platform::RefuseLink(folder);
        platform::RemoveTree(folder);
    }
    FlushExtensionParents();
    EndRecord();
}
