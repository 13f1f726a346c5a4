#include "platform/process/process_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <memory>
#include <string>

#include "platform/base/text.h"
#include "platform/base/unique_fd_linux.h"

namespace platform {
namespace {

struct CloseDir {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, CloseDir>;

bool IsProcessEntry(const char* name)
{
    if (*name == '\0') return false;
    for (; *name; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    }
    return true;
}

// Empty when the file cannot be read whole, as when its process ends between
// the open and the read (ESRCH). Read with the system calls: the stream
// library throws for a failed read.
std::string ReadFile(const std::string& path)
{
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return {};
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(file.get(), buffer, sizeof buffer);
        if (count == 0) return content;
        if (count < 0 && errno != EINTR) return {};
        if (count > 0) content.append(buffer, static_cast<std::size_t>(count));
    }
}

// Wine shows a Windows program as its Windows path in argv[0]
// ("C:\...\Illustrator.exe"), so both separators split the name off. Kernel
// threads have an empty command line: their name is in comm.
std::string ExecutableName(const std::string& process_folder)
{
    std::string argv0 = ReadFile(process_folder + "/cmdline");
    argv0 = argv0.substr(0, argv0.find('\0'));
    if (argv0.empty()) {
        std::string comm = ReadFile(process_folder + "/comm");
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        return comm;
    }
    const auto separator = argv0.find_last_of("/\\");
    return separator == std::string::npos ? argv0 : argv0.substr(separator + 1);
}

}  // namespace

bool VisitProcessNames(const std::function<bool(std::wstring_view executable_name)>& visit)
{
    DirHandle proc(opendir("/proc"));
    if (!proc) return false;
    while (const dirent* entry = readdir(proc.get())) {
        if (!IsProcessEntry(entry->d_name)) continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        std::string name = ExecutableName(folder);
        // A process that ended during the walk leaves nothing to read.
        if (name.empty()) continue;
        if (visit(Utf8ToWide(name))) return true;
    }
    return true;
}

bool IsProcessIdRunning(unsigned long process_id)
{
    const auto pid = static_cast<pid_t>(process_id);
    if (pid <= 0 || static_cast<unsigned long>(pid) != process_id) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace platform
