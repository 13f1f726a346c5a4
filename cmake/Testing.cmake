if(WIN32)
    # GoogleTest and GMock built from Debian's sources (package googletest)
    # with the cross compiler; their targets are the GTest::* of FindGTest.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    merro_third_party_begin()
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
    merro_third_party_end()
    # The test executables are listed under Wine (scripts/wine-run, the
    # toolchain's emulator) when ctest starts, not at build time: building
    # needs no Wine.
    set(merro_discovery_mode PRE_TEST)
else()
    find_package(GTest REQUIRED)
    set(merro_discovery_mode POST_BUILD)
endif()
include(GoogleTest)

# merro_add_test(<name> SOURCES ... [LIBS ...] [LOCK <resource>] [END_TO_END])
# One test executable; each of its test cases becomes a ctest test.
# END_TO_END suites run the real program; they carry the label end-to-end,
# which the sanitizer preset leaves out (the default preset runs them).
function(merro_add_test name)
    cmake_parse_arguments(ARG "END_TO_END" "LOCK" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE MERRO_PROJECT_VERSION="${PROJECT_VERSION}")
    set(properties TIMEOUT 300 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    if(ARG_LOCK)
        list(APPEND properties RESOURCE_LOCK ${ARG_LOCK})
    endif()
    if(ARG_END_TO_END)
        list(APPEND properties LABELS end-to-end)
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE ${merro_discovery_mode}
        PROPERTIES ${properties})
endfunction()

# cpp-httplib: the loopback HTTP server of the tests.
if(WIN32)
    # The full header-only httplib.h of Debian's source package (the host's
    # package ships a header that needs its compiled Linux library). Its
    # sockets are Winsock's.
    merro_fetch_source(cpp-httplib merro_httplib_source)
    set(merro_httplib_include ${CMAKE_BINARY_DIR}/_deps/httplib-include)
    file(MAKE_DIRECTORY ${merro_httplib_include})
    file(CREATE_LINK ${merro_httplib_source}/httplib.h ${merro_httplib_include}/httplib.h SYMBOLIC)
    add_library(PkgConfig::HTTPLIB INTERFACE IMPORTED)
    set_target_properties(PkgConfig::HTTPLIB PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${merro_httplib_include}
        INTERFACE_LINK_LIBRARIES ws2_32)
else()
    pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
