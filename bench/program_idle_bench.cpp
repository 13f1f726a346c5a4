// The real program on a private session bus where this benchmark is the
// tray's watcher and the notification server, with a loopback version
// service that always offers the installed version:
// - start-up: wall time from starting the program to its tray item being
//   registered, median of several starts;
// - idle cost: the wake-ups (context switches of all its threads) between
//   ticks, before the first check; over a window of several check intervals,
//   the wake-ups per check and the resident memory.
//
//   program_idle_bench [window seconds, default 60] [starts, default 5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/build_tree.h"
#include "support/child_process.h"
#include "support/documents.h"
#include "support/fake_notification_server.h"
#include "support/loopback_server.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kIntervalSeconds = 20;

// A value of the form "Name:   123 kB" from a /proc status file.
long StatusValue(const fs::path& status, const std::string& name)
{
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    }
    return 0;
}

// Context switches of every thread of `pid`, voluntary and not.
long ContextSwitches(pid_t pid)
{
    long total = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        total += StatusValue(task.path() / "status", "voluntary_ctxt_switches") +
                 StatusValue(task.path() / "status", "nonvoluntary_ctxt_switches");
    }
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    const int window = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int starts = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    testing_support::WorkFolder work;
    const testing_support::ScopedEnvironment home("HOME", (work.path() / "home").string());
    const testing_support::ScopedEnvironment no_display("DISPLAY", "");
    fs::create_directories(work.path() / "home");
    const testing_support::PrivateSessionBus bus;
    testing_support::SessionBusClient client;
    client.ServeStatusNotifierWatcher();
    const auto notifications = testing_support::FakeNotificationServer::Start(bus.address());

    testing_support::LoopbackServer server;
    const std::string document = testing_support::VersionDocument("1", "http://127.0.0.1:9/p.zip");
    server.server().Get("/version", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(document, "application/json");
    });
    testing_support::WriteFileBytes(
        "LocalConfig.json",
        testing_support::LocalConfigText("yes", "1", server.Url("/version"), std::to_string(kIntervalSeconds)));

    std::vector<double> startup_ms;
    std::unique_ptr<testing_support::ChildProcess> program;
    for (int i = 0; i < starts; ++i) {
        program.reset();  // one copy at a time: the single-instance guard
        const std::size_t registered = client.registered_items().size();
        const auto start = std::chrono::steady_clock::now();
        program = testing_support::ChildProcess::Start({testing_support::BuildPath("bin/merroupdate")});
        if (!program || !client.RunUntil([&] { return client.registered_items().size() > registered; }, 15s)) {
            std::fprintf(stderr, "the program did not register its tray item\n");
            return 1;
        }
        startup_ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const pid_t idle = program->pid();
    std::sort(startup_ms.begin(), startup_ms.end());
    std::printf("start-up to tray item registered: median %.1f ms over %d starts (min %.1f, max %.1f)\n",
                startup_ms[startup_ms.size() / 2], starts, startup_ms.front(), startup_ms.back());

    // Settle past start-up, watch the quiet time before the first check
    // (one interval after start-up), then whole intervals.
    client.RunUntil([] { return false; }, 2s);
    const long settled = ContextSwitches(idle);
    const auto quiet = std::chrono::seconds(kIntervalSeconds - 5);
    client.RunUntil([] { return false; }, quiet);
    const long between_ticks = ContextSwitches(idle) - settled;
    const fs::path status = "/proc/" + std::to_string(idle) + "/status";
    const long switches_before = ContextSwitches(idle);
    client.RunUntil([] { return false; }, std::chrono::seconds(window));
    const long wake_ups = ContextSwitches(idle) - switches_before;
    const long resident = StatusValue(status, "VmRSS");
    const long peak = StatusValue(status, "VmHWM");
    program.reset();

    std::printf("between ticks: %ld wake-ups in the %lld s before the first check\n", between_ticks,
                static_cast<long long>(quiet.count()));
    std::printf("idle over %d s with a %d s interval (%d checks): %ld wake-ups, %.1f per check\n", window,
                kIntervalSeconds, window / kIntervalSeconds, wake_ups,
                static_cast<double>(wake_ups) / std::max(1, window / kIntervalSeconds));
    std::printf("resident memory: %ld KiB (peak %ld KiB), target under 10240 KiB\n", resident, peak);
    return 0;
}
