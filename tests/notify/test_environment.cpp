#include "test_environment.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace notify_test {

ScopedEnvironment::~ScopedEnvironment()
{
    for (const auto& [name, value] : saved_) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::Remember(const std::string& name)
{
    if (saved_.contains(name)) return;
    const char* value = getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value)
{
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Unset(const std::string& name)
{
    Remember(name);
    unsetenv(name.c_str());
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "merro-notify-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace notify_test
