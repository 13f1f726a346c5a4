#pragma once
// A minisign key pair made by the minisign tool, without a password, and
// signatures made with it by the same tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/process/child_process.h"
#include "support/temp_folder.h"

class MinisignKey {
public:
    explicit MinisignKey(std::filesystem::path folder) : folder_(std::move(folder))
    {
        std::filesystem::create_directories(folder_);
        EXPECT_EQ(platform::RunProgram(
                      {"minisign", "-G", "-W", "-q", "-p", public_file().string(), "-s", secret_file().string()}),
                  0);
    }

    std::filesystem::path public_file() const { return folder_ / "key.pub"; }
    std::filesystem::path secret_file() const { return folder_ / "key.key"; }

    // The Base64 line of the public key file, as LocalConfig.json lists it.
    std::string public_line() const
    {
        const std::string text = testing_support::ReadFileBytes(public_file());
        const auto start = text.find('\n') + 1;
        return text.substr(start, text.find('\n', start) - start);
    }

    // The key id in 16 hex digits, from the end of the file's comment line,
    // where minisign pads it with spaces rather than zeros.
    std::string id() const
    {
        const std::string text = testing_support::ReadFileBytes(public_file());
        std::string id = text.substr(text.find('\n') - 16, 16);
        std::replace(id.begin(), id.end(), ' ', '0');
        return id;
    }

    // The whole .minisig text of `message`; `legacy` makes the old
    // non-prehashed form.
    std::string Sign(const std::string& message, const std::string& trusted_comment = "test", bool legacy = false) const
    {
        const auto message_file = folder_ / "message";
        const auto signature_file = folder_ / "message.minisig";
        testing_support::WriteFileBytes(message_file, message);
        std::vector<std::string> command = {"minisign", "-S",
                                            "-s",       secret_file().string(),
                                            "-m",       message_file.string(),
                                            "-x",       signature_file.string(),
                                            "-t",       trusted_comment};
        if (legacy) command.push_back("-l");
        EXPECT_EQ(platform::RunProgram(command), 0);
        return testing_support::ReadFileBytes(signature_file);
    }

private:
    std::filesystem::path folder_;
};
