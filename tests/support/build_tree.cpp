#include "support/build_tree.h"

namespace testing_support {

std::string BuildPath(std::string_view relative) { return std::string(MERRO_BINARY_DIR "/").append(relative); }

}  // namespace testing_support
