#pragma once
// Starting other programs. RunProgram serves Linux (the message boxes, the
// publisher tool), StartProgramIn Windows (the login launcher); each is
// built for the platform that uses it.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Runs `arguments` (the program, looked up on PATH unless it holds a slash,
// then its arguments) without a shell and with no signal blocked, whatever
// the caller blocks, and waits for it. Returns its exit status, or -1 when
// it could not be started or did not exit by itself.
int RunProgram(const std::vector<std::string>& arguments);

// Starts `program` with no arguments in the folder `folder` and returns at
// once, without waiting for it; false when it could not be started, with
// the system's reason in `error`.
bool StartProgramIn(std::wstring_view program, std::wstring_view folder, std::string& error);

}  // namespace platform
