#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "support/event_wait.h"
#include "support/files.h"

extern char** environ;

namespace testing_support {
namespace {

// posix_spawn's attributes and file actions, released at the end.
struct SpawnSettings {
    SpawnSettings()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSettings()
    {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& arguments, const Options& options)
{
    int pipe_ends[2] = {-1, -1};
    if (options.capture_output && pipe2(pipe_ends, O_CLOEXEC) != 0) return nullptr;

    SpawnSettings settings;
    sigset_t no_signals;
    sigemptyset(&no_signals);
    posix_spawnattr_setsigmask(&settings.attributes, &no_signals);
    posix_spawnattr_setflags(&settings.attributes, POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_addopen(&settings.actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.capture_output) posix_spawn_file_actions_adddup2(&settings.actions, pipe_ends[1], 1);
    const std::string out = options.output_files.string() + ".out";
    const std::string err = options.output_files.string() + ".err";
    if (!options.output_files.empty()) {
        posix_spawn_file_actions_addopen(&settings.actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&settings.actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (options.discard_errors) posix_spawn_file_actions_addopen(&settings.actions, 2, "/dev/null", O_WRONLY, 0);
    if (!options.working_directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&settings.actions, options.working_directory.c_str());
    }

    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = options.executable.empty()
                            ? posix_spawnp(&pid, argv[0], &settings.actions, &settings.attributes, argv.data(), environ)
                            : posix_spawn(&pid, options.executable.c_str(), &settings.actions, &settings.attributes,
                                          argv.data(), environ);
    if (options.capture_output) close(pipe_ends[1]);
    if (spawned != 0) {
        if (options.capture_output) close(pipe_ends[0]);
        return nullptr;
    }
    return std::make_unique<ChildProcess>(pid, pipe_ends[0], options.output_files);
}

ChildProcess::ChildProcess(pid_t pid, int output, std::filesystem::path output_files)
    : pid_(pid), output_(output), output_files_(std::move(output_files))
{
}

ChildProcess::~ChildProcess()
{
    if (!Exited()) {
        Signal(SIGTERM);
        if (!Wait(kEventWait) && !Exited()) {
            Signal(SIGKILL);
            while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {}
        }
    }
    if (output_ >= 0) close(output_);
}

void ChildProcess::Signal(int number) const { kill(pid_, number); }

bool ChildProcess::Exited()
{
    if (status_) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    status_ = status;
    return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!Exited() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!Exited() || !WIFEXITED(*status_)) return std::nullopt;
    return WEXITSTATUS(*status_);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (output_ >= 0) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd ready{output_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[512];
        const ssize_t got = read(output_, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
    return std::nullopt;
}

std::string ChildProcess::Stdout() const { return ReadFileBytes(output_files_.string() + ".out"); }
std::string ChildProcess::Stderr() const { return ReadFileBytes(output_files_.string() + ".err"); }

int RunInFolder(const std::filesystem::path& folder, const std::vector<std::string>& arguments)
{
    const auto child = ChildProcess::Start(arguments, {.working_directory = folder});
    if (!child) return -1;
    return child->Wait(std::chrono::minutes(5)).value_or(-1);
}

int ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& archive,
              const std::vector<std::string>& options)
{
    std::vector<std::string> arguments{"zip", "-q"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), {archive.string(), "."});
    return RunInFolder(folder, arguments);
}

}  // namespace testing_support
