#pragma once
// A download's replacement file with the body's size bounded: the count is
// kept as the bytes are written, since a server need not say the length
// beforehand.
#include <cstddef>
#include <cstdint>

#include "platform/durable/replacement_file.h"
#include "platform/net/download.h"

namespace platform {

class BoundedBody {
public:
    BoundedBody(ReplacementFile& file, std::uint64_t max_bytes) : file_(file), max_bytes_(max_bytes) {}

    // 0, the file's error, or kDownloadTooLarge once the body passes the limit.
    int Write(const void* data, std::size_t size)
    {
        if (size > max_bytes_ - written_) return kDownloadTooLarge;
        written_ += size;
        return file_.Write(data, size);
    }

private:
    ReplacementFile& file_;
    std::uint64_t max_bytes_;
    std::uint64_t written_ = 0;
};

}  // namespace platform
