# merro_add_subsystem(<name> [PUBLIC_LIBS ...] [PRIVATE_LIBS ...] [EXCLUDE ...])
# One static library per layer, made of every .cpp in the calling folder and
# its subfolders. A file named <concern>_linux.cpp or <concern>_win.cpp is
# the concern's implementation for that platform and joins only its build;
# every other file is portable.
function(merro_add_subsystem name)
    cmake_parse_arguments(ARG "" "" "PUBLIC_LIBS;PRIVATE_LIBS;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_linux\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
    endif()
    foreach(excluded IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()
