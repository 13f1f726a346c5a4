#pragma once
// How large each download of an update run may grow and how long it may take.
#include <chrono>
#include <cstdint>

#include "platform/base/test_overrides.h"
#include "platform/net/download.h"
#include "update/version_document.h"

// The largest version document and the largest package of an unsigned one.
inline constexpr std::uint64_t kVersionDocumentLimit = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kUnsignedPackageLimit = std::uint64_t{4} << 30;

// The version document arrives within this or not at all, so a service that
// drips its answer cannot hold the check. Tests of the real program shorten it.
inline const platform::TransferDeadline kVersionDocumentDeadline{
    .base = platform::TestDuration("MERRO_TEST_DOCUMENT_DEADLINE").value_or(std::chrono::seconds(30))};

// A package has a minute, plus its expected size at this rate (signed size,
// else the announced length, else what has arrived: then the rate is a
// floor of the average). Tests of the real program shorten the minute.
inline const std::chrono::milliseconds kPackageDeadlineBase =
    platform::TestDuration("MERRO_TEST_PACKAGE_DEADLINE").value_or(std::chrono::seconds(60));
inline constexpr std::uint64_t kPackageMinimumRate = 32 * 1024;  // bytes a second

// The most the package may be: the signed size; without a signature the
// document's size may lower kUnsignedPackageLimit, never raise it.
std::uint64_t PackageSizeLimit(const PackageCheck& check);

// The package download's deadline for what the document says of it.
platform::TransferDeadline PackageDeadline(const PackageCheck& check);
