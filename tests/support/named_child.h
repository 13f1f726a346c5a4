#pragma once
// A sleeping child process whose executable name is `shown_name`, as the
// system lists a Windows program; killed at the end of the scope. On Linux
// its argv[0] is the name, as Wine shows a Windows program; on Windows it is
// a copy of the tests' sleeper program under that name.
#include <chrono>
#include <string>
#include <thread>

#include "support/build_tree.h"
#include "support/event_wait.h"
#include "support/temp_folder.h"

#if defined(_WIN32)
#include <windows.h>

#include <filesystem>

#include "platform/base/text.h"
#include "platform/process/process_list.h"
#else
#include <memory>

#include "support/child_process.h"
#endif

namespace testing_support {

#if defined(_WIN32)
class NamedChild {
public:
    explicit NamedChild(const std::string& shown_name)
    {
        const std::filesystem::path copy = folder_.path() / platform::Utf8ToWide(shown_name);
        std::filesystem::copy_file(BuildPath("bin/merro_sleeper.exe"), copy);
        std::wstring command = L"\"" + copy.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (::CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process_)) {
            ::CloseHandle(process_.hThread);
            WaitUntilListed(platform::Utf8ToWide(shown_name));
        }
    }
    NamedChild(const NamedChild&) = delete;
    NamedChild& operator=(const NamedChild&) = delete;
    ~NamedChild() { Stop(); }

    void Stop()
    {
        if (!started()) return;
        ::TerminateProcess(process_.hProcess, 1);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hProcess);
        process_.hProcess = nullptr;
    }
    bool started() const { return process_.hProcess != nullptr; }

private:
    void WaitUntilListed(const std::wstring& name) const
    {
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        while (std::chrono::steady_clock::now() < deadline) {
            bool listed = false;
            platform::VisitProcessNames([&](std::wstring_view seen) { return listed = seen == name; });
            if (listed) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    TempFolder folder_;
    PROCESS_INFORMATION process_{};
};

#else
class NamedChild {
public:
    explicit NamedChild(const std::string& shown_name)
        : process_(ChildProcess::Start({shown_name, "600"}, {.executable = "/bin/sleep"}))
    {
        WaitUntilShownAs(shown_name);
    }

    void Stop() { process_.reset(); }
    bool started() const { return process_ != nullptr; }

private:
    // Until exec has happened, /proc shows the test program's own command line.
    void WaitUntilShownAs(const std::string& shown_name) const
    {
        if (!process_) return;
        const std::string cmdline = "/proc/" + std::to_string(process_->pid()) + "/cmdline";
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string seen = ReadFileBytes(cmdline);
            if (seen.substr(0, seen.find('\0')) == shown_name) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::unique_ptr<ChildProcess> process_;
};

#endif

}  // namespace testing_support
