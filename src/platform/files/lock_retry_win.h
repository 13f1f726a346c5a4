#pragma once
// Renames and deletions that another process's open handle stops for a
// while: an antivirus scanning a new file, Illustrator's extension helper
// holding one, an Explorer window showing a folder. Such a call is tried
// again for about three seconds before its error is given up on.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {

// The errors of a handle held open elsewhere. A file or folder opened without
// delete sharing makes a rename or deletion fail with ERROR_SHARING_VIOLATION;
// a byte-range lock gives ERROR_LOCK_VIOLATION; a folder with such a file in
// it, and a file whose deletion is pending until its last handle closes, give
// ERROR_ACCESS_DENIED. A missing right gives ERROR_ACCESS_DENIED as well:
// that one fails as before, only after the pauses.
inline bool IsTransientLock(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Calls `attempt` (true on success, the error in GetLastError otherwise)
// until it succeeds, fails with an error `transient` does not accept, or the
// pauses (50 ms doubling up to 500 ms, 3.25 s in all) are used up. The last
// error stays in GetLastError.
template <typename Attempt, typename Transient = bool (*)(DWORD)>
bool RetryWhileLocked(Attempt attempt, Transient transient = &IsTransientLock)
{
    constexpr std::chrono::milliseconds kLongestPause{500};
    constexpr std::chrono::milliseconds kAllPauses{3250};
    std::chrono::milliseconds pause{50};
    for (std::chrono::milliseconds paused{0};; paused += pause, pause = std::min(pause * 2, kLongestPause)) {
        if (attempt()) return true;
        const DWORD error = ::GetLastError();
        if (!transient(error) || paused >= kAllPauses) return false;
        std::this_thread::sleep_for(pause);
        ::SetLastError(error);
    }
}

}  // namespace platform
