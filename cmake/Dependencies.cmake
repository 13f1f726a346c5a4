# Every library comes from a Debian package that scripts/install-deps installs.
if(WIN32)
    # The Windows cross build (cmake/toolchain-mingw64.cmake): no MinGW builds
    # of these libraries exist in Debian, so they come as headers from the
    # host's packages or are compiled here from Debian's source packages
    # (scripts/fetch-source, once, into the cache folder). The targets have
    # the names the Linux branch below gives, so nothing else in the tree
    # needs to know.
    get_filename_component(MERRO_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
    if(DEFINED ENV{MERRO_CACHE_DIR})
        set(merro_cache_default $ENV{MERRO_CACHE_DIR})
    elseif(DEFINED ENV{XDG_CACHE_HOME})
        set(merro_cache_default $ENV{XDG_CACHE_HOME}/merroupdate)
    else()
        set(merro_cache_default $ENV{HOME}/.cache/merroupdate)
    endif()
    set(MERRO_CACHE_DIR ${merro_cache_default} CACHE PATH
        "Source packages, apt lists, the built 7z.dll and libsodium, shared by every clone")

    # merro_fetch_source(<package> <variable>): unpacks Debian's source package
    # <package> (once) and sets <variable> to its folder.
    function(merro_fetch_source package variable)
        set(dest ${MERRO_CACHE_DIR}/src/${package})
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env MERRO_CACHE_DIR=${MERRO_CACHE_DIR}
                    ${MERRO_ROOT}/scripts/fetch-source ${package} ${dest}
            RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "Cannot fetch the source package ${package} (scripts/fetch-source: ${result})")
        endif()
        set(${variable} ${dest} PARENT_SCOPE)
    endfunction()

    # merro_third_party_begin() ... merro_third_party_end(): targets made in
    # between (add_library, add_subdirectory) compile third-party code without
    # the project's warning flags, which -Werror would turn into our failures.
    macro(merro_third_party_begin)
        get_directory_property(merro_saved_compile_options COMPILE_OPTIONS)
        set_directory_properties(PROPERTIES COMPILE_OPTIONS "-w")
    endmacro()
    macro(merro_third_party_end)
        set_directory_properties(PROPERTIES COMPILE_OPTIONS "${merro_saved_compile_options}")
    endmacro()

    find_package(Threads REQUIRED)

    # Header-only libraries of the host: a folder of links to just their
    # headers, so that /usr/include itself (glibc's headers) never comes
    # before MinGW's.
    set(merro_host_include ${CMAKE_BINARY_DIR}/_deps/host-include)
    file(MAKE_DIRECTORY ${merro_host_include})
    foreach(entry "nlohmann;nlohmann/json.hpp" "fmt;fmt/format-inl.h")
        list(GET entry 0 name)
        list(GET entry 1 probe)
        find_path(MERRO_HOST_${name}_INCLUDE ${probe} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        if(NOT MERRO_HOST_${name}_INCLUDE)
            message(FATAL_ERROR "${probe} not found in /usr/include (scripts/install-deps installs it)")
        endif()
        file(CREATE_LINK ${MERRO_HOST_${name}_INCLUDE}/${name} ${merro_host_include}/${name} SYMBOLIC)
    endforeach()

    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${merro_host_include})

    add_library(fmt::fmt INTERFACE IMPORTED)
    set_target_properties(fmt::fmt PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${merro_host_include}
        INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)

    # spdlog as Debian builds it (compiled library, external fmt), from its
    # source package. Header-only spdlog would include <windows.h> (through
    # details/os-inl.h) into every file that logs, portable code included;
    # compiled, its headers do not.
    merro_fetch_source(spdlog merro_spdlog_source)
    file(GLOB merro_spdlog_sources ${merro_spdlog_source}/src/*.cpp)
    merro_third_party_begin()
    add_library(merro_spdlog STATIC ${merro_spdlog_sources})
    merro_third_party_end()
    target_include_directories(merro_spdlog SYSTEM PUBLIC ${merro_spdlog_source}/include)
    target_compile_definitions(merro_spdlog PUBLIC SPDLOG_COMPILED_LIB SPDLOG_FMT_EXTERNAL)
    target_link_libraries(merro_spdlog PUBLIC fmt::fmt Threads::Threads)
    add_library(spdlog::spdlog ALIAS merro_spdlog)

    merro_fetch_source(pugixml merro_pugixml_source)
    merro_third_party_begin()
    add_library(merro_pugixml STATIC ${merro_pugixml_source}/src/pugixml.cpp)
    merro_third_party_end()
    target_include_directories(merro_pugixml SYSTEM PUBLIC ${merro_pugixml_source}/src)
    add_library(pugixml::pugixml ALIAS merro_pugixml)

    # libsodium as a static library, cross-built from Debian's source package
    # by scripts/build-sodium once into the cache folder, copied from there.
    set(merro_sodium_dir ${CMAKE_BINARY_DIR}/_deps/sodium)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env MERRO_CACHE_DIR=${MERRO_CACHE_DIR}
                ${MERRO_ROOT}/scripts/build-sodium ${merro_sodium_dir}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Cannot build libsodium for Windows (scripts/build-sodium: ${result})")
    endif()
    add_library(merro::sodium STATIC IMPORTED)
    set_target_properties(merro::sodium PROPERTIES
        IMPORTED_LOCATION ${merro_sodium_dir}/lib/libsodium.a
        INTERFACE_INCLUDE_DIRECTORIES ${merro_sodium_dir}/include
        INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
        INTERFACE_LINK_LIBRARIES advapi32)

    # The codec library beside the programs: 7-Zip's own DLL, cross-built
    # from Debian's 7zip source package by scripts/build-codec-dll. Built once
    # into the cache folder; a build tree only copies it. Targets that need
    # it at run time: add_dependencies(<target> merro_codec_dll).
    if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
        set(MERRO_RUNTIME_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    else()
        set(MERRO_RUNTIME_DIR ${PROJECT_BINARY_DIR}/bin)
    endif()
    set(MERRO_CODEC_DLL ${MERRO_RUNTIME_DIR}/7z.dll)
    add_custom_command(OUTPUT ${MERRO_CODEC_DLL}
        COMMAND ${CMAKE_COMMAND} -E env MERRO_CACHE_DIR=${MERRO_CACHE_DIR}
                ${MERRO_ROOT}/scripts/build-codec-dll ${MERRO_RUNTIME_DIR}
        DEPENDS ${MERRO_ROOT}/scripts/build-codec-dll
        COMMENT "7z.dll: the 7-Zip codec library for Windows (built once, then copied from ${MERRO_CACHE_DIR})"
        USES_TERMINAL
        VERBATIM)
    add_custom_target(merro_codec_dll ALL DEPENDS ${MERRO_CODEC_DLL})
    return()
endif()

find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(nlohmann_json 3.9 REQUIRED)
find_package(CURL REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
add_library(merro::sodium INTERFACE IMPORTED)
target_link_libraries(merro::sodium INTERFACE PkgConfig::SODIUM)
