#pragma once
#include <cstdint>

#include "archive/callback.h"
#include "archive/interfaces.h"
#include "archive/ref_counted.h"

namespace archive {

class InputArchive;

// The callback of the codec library's extract: progress, password and the
// bookkeeping of failed items. What becomes of each item is left to the
// derived class (GetStream, SetOperationResult).
class ExtractCallback : public RefCounted<IArchiveExtractCallback, ICompressProgressInfo, ICryptoGetTextPassword>,
                        public Callback {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override;
    HRESULT SetTotal(std::uint64_t total) override;
    HRESULT SetCompleted(const std::uint64_t* completed) override;
    HRESULT PrepareOperation(std::int32_t ask_extract_mode) override;
    HRESULT SetRatioInfo(const std::uint64_t* in_size, const std::uint64_t* out_size) override;
    HRESULT CryptoGetTextPassword(BSTR* password) override;

protected:
    ExtractCallback(const ArchiveHandler& handler, const InputArchive& archive);

    const InputArchive& Archive() const { return archive_; }
    bool IsExtractMode() const { return extract_mode_; }

    // Counts a failed item and names its failure.
    void NoteOperationResult(std::int32_t result);
    HRESULT ResultSoFar() const { return error_count_ > 0 ? hresult::kFail : hresult::kOk; }

private:
    const InputArchive& archive_;
    bool extract_mode_ = true;
    std::uint64_t error_count_ = 0;
};

}  // namespace archive
