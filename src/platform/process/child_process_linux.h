#pragma once
// Linux only, for the layer's own use: running a piece of this program in a
// child process of its own.
#include <functional>

namespace platform {

// Runs `body` in a fork of this process and waits for it. The child shares
// nothing with the program once it runs, ends with the value `body` returns,
// and dies with the program if the program is killed first. Returns that
// value (0 to 255), or -1 when the child could not be started or did not
// exit by itself.
int RunInChildProcess(const std::function<int()>& body);

}  // namespace platform
