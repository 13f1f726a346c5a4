# Adds merro_test_support once, for whichever of the tests, the benchmarks
# and the fuzz targets asks first.
include_guard(GLOBAL)
add_subdirectory(${CMAKE_CURRENT_LIST_DIR} ${PROJECT_BINARY_DIR}/tests/support)
