#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// The path of a file the build made, e.g. BuildPath("bin/merroupdate").
// Only build_tree.cpp knows where the build tree is, so that the other test
// objects do not depend on it and a second clone reuses them from the cache.
std::string BuildPath(std::string_view relative);

}  // namespace testing_support
