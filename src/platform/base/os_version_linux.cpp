#include "platform/base/os_version.h"

namespace platform {

std::uint32_t WindowsMajorVersion() { return 10; }

}  // namespace platform
