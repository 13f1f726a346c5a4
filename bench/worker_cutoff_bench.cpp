// Where a second extraction worker starts to pay: packages of 256 KiB to
// 16 MiB unpacked (files of 16 to 128 KB, every other one random data, the
// rest text), each extracted into /dev/shm by one worker and by two,
// whatever the size. The program uses workers from the size at which two
// are faster.
//
//   worker_cutoff_bench [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive/archive_format.h"
#include "archive/codec/input_archive.h"
#include "archive/codec_library.h"
#include "archive/extraction_plan.h"
#include "archive/extractor.h"
#include "archive/parallel_extraction.h"
#include "support/child_process.h"

namespace {

namespace fs = std::filesystem;

const fs::path kWork =
    (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) / "merro-worker-cutoff-bench";

// A package of about `kib` KiB unpacked, made by the zip tool once.
fs::path Package(std::int64_t kib)
{
    const fs::path archive = kWork / (std::to_string(kib) + ".zip");
    if (fs::exists(archive)) return archive;
    const fs::path source = kWork / "source";
    fs::remove_all(source);
    std::mt19937_64 random(static_cast<std::uint64_t>(kib));
    std::uint64_t total = 0;
    for (int i = 0; total < static_cast<std::uint64_t>(kib) * 1024; ++i) {
        std::string data(16 * 1024 + random() % (112 * 1024), ' ');
        for (std::size_t at = 0; at < data.size(); ++at) {
            data[at] = i % 2 ? static_cast<char>(random()) : "archive folder update\n"[random() % 22];
        }
        fs::create_directories(source / std::to_string(i % 8));
        std::ofstream(source / std::to_string(i % 8) / ("f" + std::to_string(i)), std::ios::binary) << data;
        total += data.size();
    }
    if (testing_support::ZipFolder(source, archive) != 0) std::abort();
    fs::remove_all(source);
    return archive;
}

void Extraction(benchmark::State& state)
{
    const fs::path archive = Package(state.range(0));
    const auto workers = static_cast<std::size_t>(state.range(1));
    const archive::CodecLibrary library(L"7z.so");
    archive::Extractor extractor(library, archive::formats::Zip);
    extractor.SetWorkerCount(1);
    const fs::path output = kWork / "out";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(output);
        fs::create_directories(output);
        state.ResumeTiming();
        if (workers < 2) {
            extractor.ExtractToFolder(archive.wstring(), output.wstring());
            continue;
        }
        const archive::InputArchive opened(extractor, archive.wstring());
        const archive::ExtractionPlan plan = archive::PlanExtraction(opened, workers, 0);
        archive::ExtractInParallel(extractor, opened, plan, archive.wstring(), output.wstring());
    }
    fs::remove_all(output);
}

}  // namespace

BENCHMARK(Extraction)
    ->ArgNames({"KiB", "workers"})
    ->ArgsProduct({{256, 512, 1024, 4096, 16384}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
