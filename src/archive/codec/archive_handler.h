#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/archive_format.h"
#include "archive/codec_library.h"

namespace archive {

using SizeHook = std::function<void(std::uint64_t size)>;
using RatioHook = std::function<void(std::uint64_t in_size, std::uint64_t out_size)>;
using FileHook = std::function<void(const std::wstring& file_name)>;
using PasswordHook = std::function<std::wstring()>;

// The settings of an archive operation: the library, the password and the
// progress hooks. A hook that throws ends the operation with its message.
class ArchiveHandler {
public:
    ArchiveHandler(const ArchiveHandler&) = delete;
    ArchiveHandler& operator=(const ArchiveHandler&) = delete;

    virtual const ArchiveFormat& Format() const = 0;
    virtual void SetPassword(std::wstring_view password);
    virtual ~ArchiveHandler() = 0;

    const CodecLibrary& Library() const { return library_; }
    std::wstring Password() const { return password_; }
    bool IsPasswordDefined() const { return !password_.empty(); }

    // Called with the total unpacked size the library announces.
    SizeHook OnTotalSize() const { return total_size_hook_; }
    SizeHook OnProgress() const { return progress_hook_; }
    RatioHook OnRatio() const { return ratio_hook_; }
    // Called with the file name of each file item about to be written.
    FileHook OnFile() const { return file_hook_; }
    // Asked for a password when none is set and the archive needs one.
    PasswordHook OnPassword() const { return password_hook_; }

    void SetTotalSizeHook(SizeHook hook) { total_size_hook_ = std::move(hook); }
    void SetProgressHook(SizeHook hook) { progress_hook_ = std::move(hook); }
    void SetRatioHook(RatioHook hook) { ratio_hook_ = std::move(hook); }
    void SetFileHook(FileHook hook) { file_hook_ = std::move(hook); }
    void SetPasswordHook(PasswordHook hook) { password_hook_ = std::move(hook); }

protected:
    ArchiveHandler(const CodecLibrary& library, std::wstring_view password);

private:
    const CodecLibrary& library_;
    std::wstring password_;
    SizeHook total_size_hook_;
    SizeHook progress_hook_;
    RatioHook ratio_hook_;
    FileHook file_hook_;
    PasswordHook password_hook_;
};

}  // namespace archive
