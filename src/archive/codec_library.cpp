#include "archive/codec_library.h"

#include <string>

#include "archive/archive_error.h"
#include "archive/codec/prop_variant.h"

namespace archive {
namespace {

std::wstring WithErrorNumber(std::wstring_view text, platform::WindowsError error)
{
    return std::wstring(text) + std::to_wstring(static_cast<std::uint32_t>(error)) + L")";
}

// The ABI our interface declarations follow was measured on this major
// version; another one may have moved a slot.
constexpr std::uint32_t SupportedMajorVersion = 26;

// GetModuleProp's property of the version: major << 16 | minor.
constexpr PROPID ModuleVersionProperty = 1;

using GetModulePropEntry = HRESULT (*)(PROPID property, PROPVARIANT* value);

std::wstring VersionText(std::uint32_t version)
{
    const std::wstring minor = std::to_wstring(version & 0xFFFFu);
    return std::to_wstring(version >> 16) + L"." + (minor.size() < 2 ? L"0" : L"") + minor;
}

// Libraries that predate GetModuleProp report no version and are taken as
// they are.
void CheckVersion(const platform::LibraryHandle& module)
{
    void* entry = nullptr;
    if (platform::FindExport(module, "GetModuleProp", entry) != platform::WindowsError::kSuccess) return;
    PropVariant version;
    const auto get_module_prop = reinterpret_cast<GetModulePropEntry>(entry);
    if (get_module_prop(ModuleVersionProperty, &version) != hresult::kOk || !version.IsUInt32()) return;
    if (version.GetUInt32() >> 16 == SupportedMajorVersion) return;
    throw ArchiveError(L"Unsupported 7-zip library version " + VersionText(version.GetUInt32()) + L" (expected " +
                           std::to_wstring(SupportedMajorVersion) + L".xx)",
                       hresult::kNotImplemented);
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
    CheckVersion(module_);
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
