#pragma once
// Running another program and waiting for it.
#include <string>
#include <vector>

namespace platform {

// Runs `arguments` (the program, looked up on PATH unless it holds a slash,
// then its arguments) without a shell and with no signal blocked, whatever
// the caller blocks, and waits for it. Returns its exit status, or -1 when
// it could not be started or did not exit by itself.
int RunProgram(const std::vector<std::string>& arguments);

}  // namespace platform
