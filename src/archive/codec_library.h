#pragma once
#include <span>
#include <string_view>

#include "archive/codec/com.h"
#include "platform/process/dynamic_library.h"

namespace archive {

// The codec library, loaded for as long as this object lives.
class CodecLibrary {
public:
    // Loads the library or throws ArchiveError.
    explicit CodecLibrary(std::wstring_view file_name);
    // The first of the names whose file exists; the last one's error when none does.
    explicit CodecLibrary(std::span<const std::wstring_view> file_names);
    CodecLibrary(const CodecLibrary&) = delete;
    CodecLibrary& operator=(const CodecLibrary&) = delete;
    virtual ~CodecLibrary() = default;

    // A new object of the class with one reference counted for the caller,
    // or throws "Cannot get class object".
    void* CreateObject(const CLSID& class_id, const IID& interface_id) const;

private:
    void Load(std::span<const std::wstring_view> file_names);

    using CreateObjectEntry = HRESULT (*)(const GUID* class_id, const GUID* interface_id, void** object);

    platform::LibraryHandle module_;
    CreateObjectEntry create_object_ = nullptr;
};

}  // namespace archive
