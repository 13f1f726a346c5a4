#pragma once
#include <string>

// True when a running process's executable file name contains `name`
// (case-sensitive, any position); false also when the list cannot be read.
bool IsProcessRunning(const std::wstring& name);
