#pragma once
// Environment variables set or unset for a scope; each one's old value comes
// back at the end.
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace testing_support {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const std::string& name, const std::string& value) { Set(name, value); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved_) Put(name, value);
    }

    void Set(const std::string& name, const std::string& value)
    {
        Remember(name);
        Put(name, value);
    }
    void Unset(const std::string& name)
    {
        Remember(name);
        Put(name, std::nullopt);
    }

private:
    void Remember(const std::string& name)
    {
        if (saved_.contains(name)) return;
        const char* value = std::getenv(name.c_str());
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }

    static void Put(const std::string& name, const std::optional<std::string>& value)
    {
#if defined(_WIN32)
        _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
#endif
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testing_support
