#pragma once
// Update runs against a loopback version service whose downloads are made by
// the real download call with short time-outs, the built-in service address
// answered by the loopback server too.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/base/text.h"
#include "platform/net/download.h"
#include "support/version_service_fixture.h"

class UpdateRunTest : public testing_support::VersionServiceTest {
protected:
    static constexpr platform::DownloadTimeouts kShortTimeouts{std::chrono::seconds(2), std::chrono::seconds(2)};

    std::string Document(const std::string& version, const std::string& package_path = "/package.zip") const
    {
        return testing_support::VersionDocument(version, http_.Url(package_path));
    }

    // The service at /version offering `version` as the NewPackage at
    // /package.zip.
    void OfferUpdate(const std::string& version)
    {
        Serve("/version", Document(version));
        Serve("/package.zip", MakePackage(testing_support::NewPackage));
    }

    // One update run whose built-in service address is `builtin_url_`.
    void RunUpdate()
    {
        outcome_ = UpdateFlow([this](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                     const platform::TransferDeadline& deadline) {
            const std::wstring target =
                url == VersionServiceUrl ? platform::Utf8ToWide(builtin_url_) : std::wstring(url);
            return platform::DownloadToFile(target, file, max_bytes,
                                            {kShortTimeouts.connect, kShortTimeouts.stall, deadline});
        });
    }

    // What RunUpdate raised, empty when it raised nothing.
    std::string RunUpdateError()
    {
        try {
            RunUpdate();
        } catch (const std::exception& error) {
            return error.what();
        }
        return {};
    }

    std::string builtin_url_ = http_.Url("/version");
};
