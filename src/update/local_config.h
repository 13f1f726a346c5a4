#pragma once
// The local configuration file: one JSON object of string values.
#include <map>
#include <optional>
#include <string>

// The string stored under `key`. Raises the JSON library's parse error for a
// missing or malformed file, type error 305 when the document is not an
// object and type error 302 when the value is missing or not a string.
std::string ReadLocalConfig(const std::string& key);

// The same, nullopt when `key` is missing.
std::optional<std::string> ReadOptionalLocalConfig(const std::string& key);

// Sets `key` to the string `value`, keeping every other member, and rewrites
// the whole file in its canonical layout. Raises the errors of
// ReadLocalConfig for the old document, and platform::FileWriteError when the
// new one cannot be written; the old content then stays.
bool WriteLocalConfig(const std::string& key, const std::string& value);

// Sets every key of `values` in one rewrite, as WriteLocalConfig does for one.
void WriteLocalConfig(const std::map<std::string, std::string>& values);
