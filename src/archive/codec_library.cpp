#include "archive/codec_library.h"

#include <string>

#include "archive/archive_error.h"

namespace archive {
namespace {

std::wstring WithErrorNumber(std::wstring_view text, platform::WindowsError error)
{
    return std::wstring(text) + std::to_wstring(static_cast<std::uint32_t>(error)) + L")";
}

}  // namespace

CodecLibrary::CodecLibrary(std::wstring_view file_name) { Load({&file_name, 1}); }

CodecLibrary::CodecLibrary(std::span<const std::wstring_view> file_names) { Load(file_names); }

void CodecLibrary::Load(std::span<const std::wstring_view> file_names)
{
    platform::WindowsError load_error = platform::WindowsError::kModuleNotFound;
    for (const std::wstring_view file_name : file_names) {
        load_error = platform::LoadSharedLibrary(file_name, module_);
        if (load_error != platform::WindowsError::kModuleNotFound) break;
    }
    if (load_error != platform::WindowsError::kSuccess) {
        throw ArchiveError(WithErrorNumber(L"Cannot load 7-zip library (error ", load_error), load_error);
    }
    void* entry = nullptr;
    const platform::WindowsError find_error = platform::FindExport(module_, "CreateObject", entry);
    if (find_error != platform::WindowsError::kSuccess) {
        module_.reset();
        throw ArchiveError(WithErrorNumber(L"Cannot get CreateObject (error ", find_error), find_error);
    }
    create_object_ = reinterpret_cast<CreateObjectEntry>(entry);
}

void* CodecLibrary::CreateObject(const CLSID& class_id, const IID& interface_id) const
{
    void* object = nullptr;
    const HRESULT result = create_object_(&class_id, &interface_id, &object);
    if (result != hresult::kOk) throw ArchiveError("Cannot get class object", result);
    return object;
}

}  // namespace archive
