#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/codec/interfaces.h"
#include "archive/codec/prop_variant.h"
#include "archive/codec/ref_counted.h"
#include "archive/extraction/callback.h"
#include "archive/extraction/file_record.h"

namespace archive {

// The callback of the codec library's open: it describes the archive file
// and opens the other volumes of a multi-volume archive.
class OpenCallback final : public RefCounted<IArchiveOpenCallback, IArchiveOpenVolumeCallback,
                                             IArchiveOpenSetSubArchiveName, ICryptoGetTextPassword>,
                           public Callback {
public:
    // Throws "Invalid path '" when the archive file cannot be found.
    OpenCallback(const ArchiveHandler& handler, std::wstring_view archive_path);

    // Not IArchiveOpenCallback itself: the library has that face already.
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return Answer<IArchiveOpenVolumeCallback, IArchiveOpenSetSubArchiveName, ICryptoGetTextPassword>(iid, object);
    }
    HRESULT SetTotal(const std::uint64_t* files, const std::uint64_t* bytes) override;
    HRESULT SetCompleted(const std::uint64_t* files, const std::uint64_t* bytes) override;
    HRESULT GetProperty(PROPID property, PROPVARIANT* value) override;
    HRESULT GetStream(const wchar_t* name, IInStream** stream) override;
    HRESULT SetSubArchiveName(const wchar_t* name) override;
    HRESULT CryptoGetTextPassword(BSTR* password) override;

private:
    PropVariant Property(PROPID property) const;
    std::wstring VolumePath(const wchar_t* name) const;

    bool sub_archive_mode_ = false;
    std::wstring sub_archive_name_;
    FileRecord archive_file_;
};

}  // namespace archive
