find_package(GTest REQUIRED)
include(GoogleTest)

# merro_add_test(<name> SOURCES ... [LIBS ...] [LOCK <resource>])
# One test executable; each of its test cases becomes a ctest test.
function(merro_add_test name)
    cmake_parse_arguments(ARG "" "LOCK" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        MERRO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        MERRO_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(properties TIMEOUT 300 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    if(ARG_LOCK)
        list(APPEND properties RESOURCE_LOCK ${ARG_LOCK})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# cpp-httplib: the loopback HTTP server of the tests.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
