// Update check benchmark: one update run with equal versions against a
// loopback version service (host check, two configuration reads, the
// version document's download, reading and deleting it, the activity log),
// as the timer runs it, against `curl` fetching the same document. Prints the
// median wall time and CPU time per check of each and their ratios. Our CPU
// time is that of the checking thread (the server runs on another) and of
// the child processes that run its transfers; curl's is its process's, start-up included, as a check made by a separate
// tool would cost.
//
//   update_check_bench [checks]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/documents.h"
#include "support/loopback_server.h"
#include "support/temp_folder.h"
#include "update/update_flow.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kCurl = "/usr/bin/curl";

struct Check {
    double wall_ms = 0;
    double cpu_ms = 0;
};

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Ms(const timeval& time)
{
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// CPU time of the child processes waited for so far.
double ChildrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return Ms(usage.ru_utime) + Ms(usage.ru_stime);
}

Check OurCheck()
{
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = ThreadCpuMs() + ChildrenCpuMs();
    UpdateFlow();
    const double cpu = ThreadCpuMs() + ChildrenCpuMs() - cpu_start;
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), cpu};
}

Check CurlCheck(const std::string& url)
{
    std::string program = kCurl, silent = "-s", fail = "-f", output = "-o", target = "curl-config.json", address = url;
    char* argv[] = {program.data(), silent.data(), fail.data(), output.data(), target.data(), address.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, kCurl, nullptr, nullptr, argv, environ) != 0) throw std::runtime_error("cannot start curl");
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error("wait4 failed");
    }
    const auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("curl failed");
    return {std::chrono::duration<double, std::milli>(stop - start).count(), Ms(usage.ru_utime) + Ms(usage.ru_stime)};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Report(const char* name, const std::vector<Check>& checks, Check& median)
{
    std::vector<double> wall, cpu;
    for (const Check& check : checks) {
        wall.push_back(check.wall_ms);
        cpu.push_back(check.cpu_ms);
    }
    median = {Median(wall), Median(cpu)};
    std::printf("%-13s median wall %.3f ms, CPU %.3f ms per check over %zu checks\n", name, median.wall_ms,
                median.cpu_ms, checks.size());
}

}  // namespace

int main(int argc, char** argv)
{
    const int checks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    const testing_support::WorkFolder work;
    testing_support::LoopbackServer server;
    const std::string url = server.Url("/version");
    const std::string document = testing_support::VersionDocument("1.0.0", "http://127.0.0.1:9/com.qv.plug.zip");
    server.server().Get("/version", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(document, "application/json");
    });
    testing_support::WriteFileBytes("LocalConfig.json", testing_support::LocalConfigText("yes", "1.0.0", url));
    std::vector<Check> ours, curl;
    // One untimed round first, so that both start warm.
    for (int round = 0; round <= checks; ++round) {
        const Check our = OurCheck();
        const Check theirs = CurlCheck(url);
        if (round == 0) continue;
        ours.push_back(our);
        curl.push_back(theirs);
    }

    std::ifstream in(work.path() / "Log/action-log.txt");
    std::string last, line;
    while (std::getline(in, line)) last = line;
    if (last.find("Not Need Download Zip") == std::string::npos) {
        std::fprintf(stderr, "the check did not end with equal versions: %s\n", last.c_str());
        return 1;
    }

    Check our_median, curl_median;
    Report("update check:", ours, our_median);
    Report("curl:", curl, curl_median);
    std::printf("ratio (update check / curl): %.3f wall, %.3f CPU\n", our_median.wall_ms / curl_median.wall_ms,
                our_median.cpu_ms / curl_median.cpu_ms);
    return 0;
}
