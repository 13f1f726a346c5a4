#pragma once
#include <atomic>
#include <cstdint>

#include "archive/codec/interfaces.h"
#include "archive/codec/ref_counted.h"
#include "archive/extraction/callback.h"

namespace archive {

class InputArchive;

// The callback of the codec library's extract: progress, password and the
// bookkeeping of failed items. What becomes of each item is left to the
// derived class (GetStream, SetOperationResult).
class ExtractCallback : public RefCounted<IArchiveExtractCallback, ICompressProgressInfo, ICryptoGetTextPassword>,
                        public Callback {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return Answer<IArchiveExtractCallback, ICompressProgressInfo, ICryptoGetTextPassword>(iid, object);
    }
    HRESULT SetTotal(std::uint64_t total) override;
    HRESULT SetCompleted(const std::uint64_t* completed) override;
    HRESULT PrepareOperation(std::int32_t ask_extract_mode) override;
    HRESULT SetRatioInfo(const std::uint64_t* in_size, const std::uint64_t* out_size) override;
    HRESULT CryptoGetTextPassword(BSTR* password) override;

    // Makes this callback one of several workers over one archive: it stops
    // at its next item or progress report once `stop` is set, and leaves the
    // total size to whoever shared out the items, as each worker is told
    // only the total of its own list.
    void JoinWorkers(const std::atomic<bool>& stop) { stop_ = &stop; }

protected:
    ExtractCallback(const ArchiveHandler& handler, const InputArchive& archive);

    const InputArchive& Archive() const { return archive_; }
    bool IsExtractMode() const { return extract_mode_; }

    // Counts a failed item and names its failure.
    void NoteOperationResult(std::int32_t result);
    HRESULT ResultSoFar() const { return error_count_ > 0 ? hresult::kFail : hresult::kOk; }
    // True once another worker has failed; the message then says so.
    bool Stopping();

private:
    const InputArchive& archive_;
    bool extract_mode_ = true;
    std::uint64_t error_count_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace archive
