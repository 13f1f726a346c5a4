#include "archive/codec/open_callback.h"
#include "platform/paths/path.h"

#include "archive/codec/com_ptr.h"
#include "archive/codec/prop_variant.h"
#include "archive/extraction/file_operations.h"
#include "archive/streams/in_file_stream.h"
#include "platform/files/file_system.h"

namespace archive {

OpenCallback::OpenCallback(const ArchiveHandler& handler, std::wstring_view archive_path)
    : Callback(handler), archive_file_(archive_path)
{
}

HRESULT OpenCallback::SetTotal(const std::uint64_t*, const std::uint64_t*) { return hresult::kOk; }

HRESULT OpenCallback::SetCompleted(const std::uint64_t*, const std::uint64_t*) { return hresult::kOk; }

HRESULT OpenCallback::GetProperty(PROPID property, PROPVARIANT* value)
{
    return Shielded([&] {
        Property(property).MoveTo(*value);
        return hresult::kOk;
    });
}

PropVariant OpenCallback::Property(PROPID property) const
{
    if (sub_archive_mode_) return property == kpidName ? PropVariant(sub_archive_name_) : PropVariant();
    switch (property) {
    case kpidName: return PropVariant(archive_file_.Name());
    case kpidIsDir: return PropVariant(archive_file_.IsFolder());
    case kpidSize: return PropVariant(archive_file_.Size());
    case kpidAttrib: return PropVariant(archive_file_.Attributes());
    case kpidCTime: return PropVariant(archive_file_.CreationTime());
    case kpidATime: return PropVariant(archive_file_.AccessTime());
    case kpidMTime: return PropVariant(archive_file_.WriteTime());
    default: return PropVariant();
    }
}

HRESULT OpenCallback::GetStream(const wchar_t* name, IInStream** stream)
{
    *stream = nullptr;
    if (sub_archive_mode_ || archive_file_.IsFolder()) return hresult::kFalse;
    return Shielded([&] {
        const std::wstring path = VolumePath(name);
        platform::FileInfo info;
        if (!FindEntry(path, info) || (info.attributes & platform::kAttributeDirectory)) return hresult::kFalse;
        ComPtr<InFileStream> file(new InFileStream);
        const platform::WindowsError error = file->Open(path);
        if (error != platform::WindowsError::kSuccess) return FailureFromWindowsError(error);
        file->AddRef();
        *stream = file.get();
        return hresult::kOk;
    });
}

std::wstring OpenCallback::VolumePath(const wchar_t* name) const
{
    const std::wstring& archive_path = archive_file_.Path();
    if (!name) return archive_path;
    const std::size_t name_start = archive_path.size() - platform::FileNamePart(archive_path).size();
    if (name_start == 0) return name;
    return archive_path.substr(0, name_start - 1) + platform::kPathSeparator + name;
}

HRESULT OpenCallback::SetSubArchiveName(const wchar_t* name)
{
    return Shielded([&] {
        sub_archive_mode_ = true;
        sub_archive_name_ = name;
        return hresult::kOk;
    });
}

HRESULT OpenCallback::CryptoGetTextPassword(BSTR* password)
{
    return Shielded([&] { return ProvidePassword(password, hresult::kAbort); });
}

}  // namespace archive
