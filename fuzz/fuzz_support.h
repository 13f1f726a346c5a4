#pragma once
// What the fuzz targets share: a failed check ends the run as a crash. Their
// scratch folders are the tests' (support/temp_folder.h).
#include <cstdlib>

namespace fuzz_support {

inline void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace fuzz_support
