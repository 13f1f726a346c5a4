#include "archive/extraction/extract_callback.h"

namespace archive {

ExtractCallback::ExtractCallback(const ArchiveHandler& handler, const InputArchive& archive)
    : Callback(handler), archive_(archive)
{
}

HRESULT ExtractCallback::SetTotal(std::uint64_t total)
{
    return Shielded([&] {
        if (stop_) return hresult::kOk;
        if (const SizeHook hook = Handler().OnTotalSize()) hook(total);
        return hresult::kOk;
    });
}

HRESULT ExtractCallback::SetCompleted(const std::uint64_t* completed)
{
    return Shielded([&] {
        if (Stopping()) return hresult::kAbort;
        const SizeHook hook = Handler().OnProgress();
        if (hook && completed) hook(*completed);
        return hresult::kOk;
    });
}

HRESULT ExtractCallback::PrepareOperation(std::int32_t ask_extract_mode)
{
    extract_mode_ = ask_extract_mode == kAskExtract;
    return hresult::kOk;
}

HRESULT ExtractCallback::SetRatioInfo(const std::uint64_t* in_size, const std::uint64_t* out_size)
{
    return Shielded([&] {
        if (Stopping()) return hresult::kAbort;
        const RatioHook hook = Handler().OnRatio();
        if (hook && in_size && out_size) hook(*in_size, *out_size);
        return hresult::kOk;
    });
}

HRESULT ExtractCallback::CryptoGetTextPassword(BSTR* password)
{
    return Shielded([&] { return ProvidePassword(password, hresult::kFail); });
}

void ExtractCallback::NoteOperationResult(std::int32_t result)
{
    if (result == kOperationOk) return;
    ++error_count_;
    switch (result) {
    case kOperationUnsupportedMethod: SetErrorMessage(L"Unsupported Method"); break;
    case kOperationDataError: SetErrorMessage(L"Data Error"); break;
    case kOperationCrcError: SetErrorMessage(L"CRC Failed"); break;
    default: SetErrorMessage(L"Unknown Error"); break;
    }
}

bool ExtractCallback::Stopping()
{
    if (!stop_ || !stop_->load(std::memory_order_relaxed)) return false;
    SetErrorMessage(L"Stopped after another worker failed");
    return true;
}

}  // namespace archive
