#include "update/download_limits.h"

#include <algorithm>

std::uint64_t PackageSizeLimit(const PackageCheck& check)
{
    if (!check.size) return kUnsignedPackageLimit;
    return check.is_signed ? *check.size : std::min(*check.size, kUnsignedPackageLimit);
}

platform::TransferDeadline PackageDeadline(const PackageCheck& check)
{
    platform::TransferDeadline deadline{.base = kPackageDeadlineBase, .min_rate = kPackageMinimumRate};
    if (check.is_signed) deadline.expected_bytes = check.size;
    return deadline;
}
