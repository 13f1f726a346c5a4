#pragma once
// A download's TransferDeadline applied as its bytes arrive: how much time
// the whole transfer still has.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/net/download.h"

namespace platform {

class TransferClock {
public:
    TransferClock(const TransferDeadline& deadline, std::uint64_t max_bytes)
        : deadline_(deadline), max_bytes_(max_bytes), start_(std::chrono::steady_clock::now())
    {
    }

    // What is left with `received` bytes in and `announced` the length the
    // server gave; zero once the deadline has passed, the duration's maximum
    // without one.
    std::chrono::milliseconds Left(std::uint64_t received, std::optional<std::uint64_t> announced) const
    {
        using namespace std::chrono;
        if (!deadline_.base) return milliseconds::max();
        const std::uint64_t size = deadline_.expected_bytes ? *deadline_.expected_bytes
                                   : announced              ? std::min(*announced, max_bytes_)
                                                            : received;
        // Ten years stand for a time too long to matter, short of overflow.
        constexpr double kLongest = 10 * 365 * 86400.0;
        const double body_seconds =
            deadline_.min_rate == 0 ? 0 : std::min(static_cast<double>(size) / deadline_.min_rate, kLongest);
        const milliseconds allowed = *deadline_.base + duration_cast<milliseconds>(duration<double>(body_seconds));
        return std::max(allowed - duration_cast<milliseconds>(steady_clock::now() - start_), milliseconds::zero());
    }

    bool Expired(std::uint64_t received, std::optional<std::uint64_t> announced) const
    {
        return Left(received, announced) == std::chrono::milliseconds::zero();
    }

private:
    TransferDeadline deadline_;
    std::uint64_t max_bytes_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace platform
