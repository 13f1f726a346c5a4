#include "archive/extraction/file_extract_callback.h"
#include "platform/paths/path.h"

#include "archive/codec/input_archive.h"
#include "archive/extraction/file_operations.h"
#include "platform/files/file_info.h"
#include "platform/files/file_system.h"

namespace archive {
namespace {

// The codec library's Unix extension: the mode's file type, in the high bits.
constexpr std::uint32_t kUnixFileTypeMask = 0170000u << 16;
constexpr std::uint32_t kUnixSymbolicLink = 0120000u << 16;

bool IsSymbolicLink(std::uint32_t attributes)
{
    return (attributes & platform::kAttributeUnixExtension) && (attributes & kUnixFileTypeMask) == kUnixSymbolicLink;
}

// The archive's file name without its extension, for an item without a path.
std::wstring NameForUnnamedItem(std::wstring_view archive_path)
{
    if (archive_path.empty()) return L"[Content]";
    const std::wstring_view name = platform::FileNamePart(archive_path);
    return std::wstring(name.substr(0, name.rfind(L'.')));
}

}  // namespace

FileExtractCallback::FileExtractCallback(const ArchiveHandler& handler, const InputArchive& archive,
                                         std::wstring_view archive_path, std::wstring_view output_folder)
    : ExtractCallback(handler, archive), archive_path_(archive_path), output_folder_(output_folder)
{
    if (!output_folder_.empty() && !platform::IsPathSeparator(output_folder_.back())) {
        output_folder_ += platform::kPathSeparator;
    }
}

HRESULT FileExtractCallback::GetStream(std::uint32_t index, ISequentialOutStream** stream,
                                       std::int32_t ask_extract_mode)
{
    *stream = nullptr;
    stream_.Reset();
    return Shielded([&] { return OpenItem(index, stream, ask_extract_mode); });
}

HRESULT FileExtractCallback::OpenItem(std::uint32_t index, ISequentialOutStream** stream, std::int32_t ask_extract_mode)
{
    if (Stopping()) return hresult::kAbort;
    if (!ReadItemPath(index)) return hresult::kFail;
    if (ask_extract_mode != kAskExtract) return hresult::kOk;
    if (IsUnsafeItemPath(item_path_)) {
        SetErrorMessage(L"Unsafe item path " + item_path_);
        return hresult::kAbort;
    }
    if (!ReadAttributes(index)) return hresult::kFail;
    item_.is_folder = Archive().ItemIsFolder(index);
    if (!ReadModificationTime(index)) return hresult::kFail;

    // The codec library reports item paths with the OS separator. A folder
    // that cannot be made shows up when the file below it cannot be opened.
    if (const auto folder = platform::FolderPart(item_path_)) CreateFolderPath(output_folder_ + std::wstring(*folder));

    output_path_ = output_folder_ + item_path_;
    if (item_.is_folder) {
        CreateFolderPath(output_path_);
        return hresult::kOk;
    }
    if (const FileHook hook = Handler().OnFile()) hook(std::wstring(platform::FileNamePart(output_path_)));
    platform::FileInfo existing;
    if (FindEntry(output_path_, existing) && !DeleteFileInTheWay(output_path_)) {
        SetErrorMessage(L"Cannot delete output file " + output_path_);
        return hresult::kAbort;
    }
    return OpenOutputFile(stream);
}

bool FileExtractCallback::ReadItemPath(std::uint32_t index)
{
    const PropVariant path = Archive().ItemProperty(index, kpidPath);
    if (path.IsEmpty()) {
        item_path_ = NameForUnnamedItem(archive_path_);
    } else if (path.IsString()) {
        item_path_ = path.GetString();
    } else {
        return false;
    }
    return true;
}

bool FileExtractCallback::ReadAttributes(std::uint32_t index)
{
    const PropVariant attributes = Archive().ItemProperty(index, kpidAttrib);
    item_.attributes = 0;
    item_.attributes_defined = false;
    if (attributes.IsEmpty()) return true;
    if (!attributes.IsUInt32()) return false;
    item_.attributes = attributes.GetUInt32();
    // A link is written as a regular file holding the link text; the link's
    // own mode (rwx for everyone) does not describe that file.
    item_.attributes_defined = !IsSymbolicLink(item_.attributes);
    return true;
}

bool FileExtractCallback::ReadModificationTime(std::uint32_t index)
{
    const PropVariant time = Archive().ItemProperty(index, kpidMTime);
    item_.time_defined = false;
    if (time.Kind() == PropKind::kEmpty) return true;
    if (time.Kind() != PropKind::kFileTime) return false;
    item_.modification_time = time.GetFileTime();
    item_.time_defined = true;
    return true;
}

HRESULT FileExtractCallback::OpenOutputFile(ISequentialOutStream** stream)
{
    ComPtr<OutFileStream> file(new OutFileStream);
    if (!file->Open(output_path_, platform::CreationDisposition::kCreateAlways)) {
        SetErrorMessage(L"Cannot open output file " + output_path_);
        return hresult::kAbort;
    }
    stream_ = std::move(file);
    stream_->AddRef();
    *stream = stream_.get();
    return hresult::kOk;
}

HRESULT FileExtractCallback::SetOperationResult(std::int32_t result)
{
    NoteOperationResult(result);
    if (stream_) {
        // A time that cannot be set leaves the file with the time of writing.
        if (item_.time_defined) stream_->SetModificationTime(item_.modification_time);
        const HRESULT closed = stream_->Close();
        if (closed != hresult::kOk) return closed;
    }
    stream_.Reset();
    // Attributes that cannot be applied leave the file as it was written.
    if (IsExtractMode() && item_.attributes_defined) platform::ApplyFileAttributes(output_path_, item_.attributes);
    return ResultSoFar();
}

}  // namespace archive
