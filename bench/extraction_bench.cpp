// Extraction benchmark: a generated ZIP of about 200 MB in 5 000 files (text
// and random data, deflate) is extracted by our Extractor, by `7z x` over the
// same codec library and by `unzip -q`, each in a child process so that wall
// time and peak memory are measured alike, and installed by the real program
// at its start-up into a fresh Wine prefix, timed from its activity log (from
// "Start Sucess!" to "Setup Complete!") with its peak memory by then. The
// runs are interleaved; the work folder is in memory (/dev/shm) by default.
// Prints the median wall time and peak memory of each, then the time and
// memory ratios of the Extractor and of the installation against the tools.
//
//   extraction_bench [work folder] [runs]
//   extraction_bench --extract <archive> <output folder>   (one extraction)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_format.h"
#include "archive/codec_library.h"
#include "archive/extractor.h"
#include "platform/base/text.h"
#include "support/build_tree.h"
#include "support/child_process.h"
#include "support/documents.h"
#include "support/files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFileCount = 5000;
constexpr const char* kSevenZip = "/usr/lib/p7zip/7z";
constexpr const char* kUnzip = "/usr/bin/unzip";
const std::string kProgram = testing_support::BuildPath("bin/merroupdate");

struct Measurement {
    double seconds = 0;
    long peak_kib = 0;
};

int ExtractOnce(const std::string& archive, const std::string& output)
{
    try {
        fs::create_directories(output);
        archive::CodecLibrary library(L"7z.so");
        archive::Extractor extractor(library, archive::formats::Zip);
        extractor.ExtractToFolder(platform::Utf8ToWide(archive), platform::Utf8ToWide(output));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "extraction failed: %s\n", error.what());
        return 1;
    }
}

// Files of 4 to 130 KB, every other one random (stored nearly as is by
// deflate) and the rest text (compressed about threefold).
void GeneratePackage(const fs::path& source)
{
    std::mt19937_64 random(20260);
    const std::string words[] = {"extension ", "package ", "illustrator ", "update ",
                                 "version ",   "folder ",  "archive ",     "notification "};
    for (int i = 0; i < kFileCount; ++i) {
        const fs::path file = source / ("dir" + std::to_string(i % 50)) / ("sub" + std::to_string(i % 7)) /
                              ("file" + std::to_string(i) + (i % 2 ? ".bin" : ".txt"));
        fs::create_directories(file.parent_path());
        const std::size_t size = 4096 + random() % (126 * 1024);
        std::string data;
        data.reserve(size + 16);
        while (data.size() < size) {
            if (i % 2) {
                const std::uint64_t value = random();
                data.append(reinterpret_cast<const char*>(&value), sizeof value);
            } else {
                data += words[random() % std::size(words)];
                if (random() % 12 == 0) data += std::to_string(random() % 100000) + "\n";
            }
        }
        std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
    }
}

// Starts `arguments` as a child in `folder` with its output discarded.
pid_t StartChild(std::vector<std::string> arguments, const fs::path& folder = ".")
{
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Waits for the child to exit; its resource usage. A failed child ends the benchmark.
rusage WaitForChild(pid_t child, bool must_succeed = true)
{
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) std::exit(1);
    }
    if (must_succeed && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        std::fprintf(stderr, "child %d failed\n", static_cast<int>(child));
        std::exit(1);
    }
    return usage;
}

// Runs `arguments` as a child; its wall time and peak resident memory.
Measurement RunChild(std::vector<std::string> arguments)
{
    const auto start = std::chrono::steady_clock::now();
    const rusage usage = WaitForChild(StartChild(std::move(arguments)));
    const auto stop = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

// Seconds since midnight of a log line "[2026-12-09 09:30:05.123] ...".
double LogLineSeconds(const std::string& line)
{
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    if (std::sscanf(line.c_str(), "[%*d-%*d-%*d %d:%d:%lf]", &hours, &minutes, &seconds) != 3) return -1;
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

// The time from the log's "Start Sucess!" line to "Setup Complete!", or a
// negative value while the installation has not completed.
double InstallationSeconds(const fs::path& log)
{
    std::ifstream in(log);
    double started = -1;
    for (std::string line; std::getline(in, line);) {
        if (line.find("Start Sucess!") != std::string::npos) started = LogLineSeconds(line);
        if (line.find("Setup Complete!") != std::string::npos && started >= 0) {
            const double elapsed = LogLineSeconds(line) - started;
            return elapsed < 0 ? elapsed + 86400 : elapsed;
        }
    }
    return -1;
}

long PeakResidentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// The real program's start-up installation of the package in `site` (its
// working folder, holding com.qv.plug.zip) into a fresh Wine prefix there;
// the program is stopped once the log records the completed installation.
Measurement InstallOnce(const fs::path& site)
{
    fs::remove_all(site / "prefix");
    fs::remove_all(site / "Log");
    fs::create_directories(site / "prefix/drive_c/Program Files/Common Files/Adobe");
    testing_support::WriteFileBytes(site / "LocalConfig.json", testing_support::LocalConfigText("no", "1", "", ""));
    sync();
    const pid_t program = StartChild({kProgram}, site);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    double seconds = -1;
    while ((seconds = InstallationSeconds(site / "Log/action-log.txt")) < 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "the program did not complete the installation\n");
            std::exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const long peak = PeakResidentKib(program);
    kill(program, SIGTERM);
    WaitForChild(program, false);
    return {seconds, peak};
}

// The program's environment: its Wine prefix and home in `site`, no
// display (no message box) and no session bus (no tray icon).
void PrepareProgramSite(const fs::path& site, const fs::path& archive)
{
    fs::create_directories(site / "home");
    fs::remove(site / "com.qv.plug.zip");
    fs::create_hard_link(archive, site / "com.qv.plug.zip");
    setenv("WINEPREFIX", (site / "prefix").c_str(), 1);
    setenv("HOME", (site / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (site / "home/.local/share").c_str(), 1);
    setenv("DISPLAY", "", 1);
    setenv("WAYLAND_DISPLAY", "", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (site / "no-bus").string()).c_str(), 1);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string SelfPath() { return fs::read_symlink("/proc/self/exe").string(); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--extract") return ExtractOnce(argv[2], argv[3]);

    const fs::path memory = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path work = argc > 1 ? fs::path(argv[1]) : memory / "merro-extraction-bench";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const fs::path archive = work / "package.zip";
    const fs::path output = work / "out";
    if (!fs::exists(archive)) {
        std::printf("generating %d files ...\n", kFileCount);
        std::fflush(stdout);
        fs::remove_all(work);
        GeneratePackage(work / "source");
        if (testing_support::ZipFolder(work / "source", archive) != 0) return 1;
        fs::remove_all(work / "source");
    }
    std::printf("archive: %.1f MB, %d files\n", static_cast<double>(fs::file_size(archive)) / 1e6, kFileCount);

    const fs::path site = work / "program";
    PrepareProgramSite(site, archive);

    struct Tool {
        const char* name;
        std::function<Measurement()> run;
        std::vector<double> times;
        long peak_kib = 0;
    };
    const auto child = [](std::vector<std::string> command) { return [command] { return RunChild(command); }; };
    std::vector<Tool> tools = {
        {"Extractor", child({SelfPath(), "--extract", archive.string(), output.string()}), {}, 0},
        {"7z x", child({kSevenZip, "x", "-y", "-bd", "-o" + output.string(), archive.string()}), {}, 0},
        {"unzip -q", child({kUnzip, "-q", archive.string(), "-d", output.string()}), {}, 0},
        {"installation", [&site] { return InstallOnce(site); }, {}, 0},
    };
    // One untimed round first, so that all start from a warm page cache.
    for (int round = 0; round <= runs; ++round) {
        for (Tool& tool : tools) {
            fs::remove_all(output);
            sync();
            const Measurement measured = tool.run();
            if (round == 0) continue;
            tool.times.push_back(measured.seconds);
            tool.peak_kib = std::max(tool.peak_kib, measured.peak_kib);
        }
    }
    fs::remove_all(output);
    fs::remove_all(site / "prefix");

    for (const Tool& tool : tools) {
        std::printf("%-13s median %.3f s over %d runs, peak memory %ld KiB\n", (tool.name + std::string(":")).c_str(),
                    Median(tool.times), runs, tool.peak_kib);
    }
    const auto ratio = [&](const Tool& ours, const Tool& tool) {
        std::printf("ratio (%s / %s): %.3f time, %.3f peak memory\n", ours.name, tool.name,
                    Median(ours.times) / Median(tool.times),
                    static_cast<double>(ours.peak_kib) / static_cast<double>(tool.peak_kib));
    };
    ratio(tools[0], tools[1]);
    ratio(tools[0], tools[2]);
    ratio(tools[3], tools[1]);
    return 0;
}
