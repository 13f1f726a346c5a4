# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads);
# the tests run under Wine through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Headers, libraries and packages are looked for in the MinGW tree only; the
# host's header-only libraries in /usr/include are reached on purpose by
# cmake/Dependencies.cmake (find_path ... NO_CMAKE_FIND_ROOT_PATH), which
# exposes just them, never /usr/include itself (glibc's headers).
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The .exe needs no DLL of the toolchain: libstdc++, libgcc, winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Programs and DLLs in one folder: each .exe finds 7z.dll beside it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# ctest and the test discovery run each .exe under Wine, in the build tree's prefix.
get_filename_component(MERRO_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ABSOLUTE)
set(MERRO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MERRO_WINE_RUN} --prefix ${MERRO_WINE_PREFIX})
