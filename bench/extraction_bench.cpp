// Extraction benchmark: a generated ZIP of about 200 MB in 5 000 files (text
// and random data, deflate) is extracted by our Extractor, by `7z x` over the
// same codec library and by `unzip -q`, each in a child process so that wall
// time and peak memory are measured alike. Prints the median wall time and
// peak memory of each, then our time and memory ratios against each tool.
//
//   extraction_bench [work folder] [runs]
//   extraction_bench --extract <archive> <output folder>   (one extraction)
#include <fcntl.h>
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
#include <random>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/codec_library.h"
#include "archive/extractor.h"
#include "platform/text.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFileCount = 5000;
constexpr const char* kSevenZip = "/usr/lib/p7zip/7z";
constexpr const char* kUnzip = "/usr/bin/unzip";

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
    const std::string words[] = {"extension ", "package ", "illustrator ", "update ", "version ", "folder ",
                                 "archive ", "notification "};
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

// Runs `arguments` as a child; its wall time and peak resident memory.
Measurement RunChild(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) std::exit(1);
    }
    const auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string SelfPath()
{
    return fs::read_symlink("/proc/self/exe").string();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--extract") return ExtractOnce(argv[2], argv[3]);

    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "merro-extraction-bench";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const fs::path archive = work / "package.zip";
    const fs::path output = work / "out";
    if (!fs::exists(archive)) {
        std::printf("generating %d files ...\n", kFileCount);
        std::fflush(stdout);
        fs::remove_all(work);
        GeneratePackage(work / "source");
        const std::string command = "cd '" + (work / "source").string() + "' && zip -q -r '" + archive.string() + "' .";
        if (std::system(command.c_str()) != 0) return 1;
        fs::remove_all(work / "source");
    }
    std::printf("archive: %.1f MB, %d files\n", static_cast<double>(fs::file_size(archive)) / 1e6, kFileCount);

    struct Tool {
        const char* name;
        std::vector<std::string> command;
        std::vector<double> times;
        long peak_kib = 0;
    };
    std::vector<Tool> tools = {
        {"Extractor", {SelfPath(), "--extract", archive.string(), output.string()}, {}, 0},
        {"7z x", {kSevenZip, "x", "-y", "-bd", "-o" + output.string(), archive.string()}, {}, 0},
        {"unzip -q", {kUnzip, "-q", archive.string(), "-d", output.string()}, {}, 0},
    };
    // One untimed round first, so that all start from a warm page cache.
    for (int round = 0; round <= runs; ++round) {
        for (Tool& tool : tools) {
            fs::remove_all(output);
            sync();
            const Measurement measured = RunChild(tool.command);
            if (round == 0) continue;
            tool.times.push_back(measured.seconds);
            tool.peak_kib = std::max(tool.peak_kib, measured.peak_kib);
        }
    }
    fs::remove_all(output);

    const double our_median = Median(tools[0].times);
    for (const Tool& tool : tools) {
        std::printf("%-10s median %.3f s over %d runs, peak memory %ld KiB\n", (tool.name + std::string(":")).c_str(),
                    Median(tool.times), runs, tool.peak_kib);
    }
    for (std::size_t i = 1; i < tools.size(); ++i) {
        std::printf("ratio (Extractor / %s): %.3f time, %.3f peak memory\n", tools[i].name,
                    our_median / Median(tools[i].times),
                    static_cast<double>(tools[0].peak_kib) / static_cast<double>(tools[i].peak_kib));
    }
    return 0;
}
