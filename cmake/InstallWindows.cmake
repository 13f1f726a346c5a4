# The Windows installer: packaging/windows/merroupdate.nsi, built by makensis
# (Debian's nsis, installed by scripts/install-deps) into
# package/MerroUpdate-<version>-setup.exe of the build tree, with every build.
#
# What it installs is gathered in setup-input/ of the build tree first:
#   merroupdate.exe, 7z.dll  the built program and codec library, stripped of
#                            their debug information (30 MB -> 2 MB for the
#                            program; the build tree keeps the full ones)
#   QVLogo.png               the notification logo
#   com.qv.plug.zip          the delivered package: the repository's demo
#                            extension (demo/extension) at version
#                            MERRO_DELIVERED_VERSION, zipped as scripts/demo.py
#                            does, which the first LocalConfig.json records.
#                            A release for users would deliver the real
#                            extension's package here instead.
find_program(MAKENSIS makensis REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "The installer strips the program with the toolchain's strip, which CMake did not find")
endif()

set(MERRO_DELIVERED_VERSION 1.0.0)
set(merro_setup_script ${PROJECT_SOURCE_DIR}/packaging/windows/merroupdate.nsi)
set(merro_setup_input ${PROJECT_BINARY_DIR}/setup-input)
set(merro_package_dir ${PROJECT_BINARY_DIR}/package)
set(merro_setup_file ${merro_package_dir}/MerroUpdate-${PROJECT_VERSION}-setup.exe)
set(merro_delivered_package ${merro_setup_input}/com.qv.plug.zip)

file(GLOB_RECURSE merro_demo_extension CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/demo/extension/*)
add_custom_command(OUTPUT ${merro_delivered_package}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/windows/make-delivered-package
            ${PROJECT_SOURCE_DIR}/demo/extension ${MERRO_DELIVERED_VERSION} ${merro_delivered_package}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/make-delivered-package ${merro_demo_extension}
    COMMENT "com.qv.plug.zip: the demo extension ${MERRO_DELIVERED_VERSION}, delivered by the installer"
    VERBATIM)

add_custom_command(OUTPUT ${merro_setup_input}/merroupdate.exe ${merro_setup_input}/7z.dll ${merro_setup_input}/QVLogo.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${merro_setup_input}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate.exe $<TARGET_FILE:merroupdate>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/7z.dll ${MERRO_CODEC_DLL}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/QVLogo.png ${merro_setup_input}/QVLogo.png
    DEPENDS merroupdate $<TARGET_FILE:merroupdate> merro_codec_dll ${MERRO_CODEC_DLL}
            ${PROJECT_SOURCE_DIR}/resources/QVLogo.png
    COMMENT "The installer's files, stripped"
    VERBATIM)

# -WX: a warning of makensis fails the build.
add_custom_command(OUTPUT ${merro_setup_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${merro_package_dir}
    COMMAND ${MAKENSIS} -V2 -WX
            -DVERSION=${PROJECT_VERSION}
            -DBINDIR=${merro_setup_input}
            -DPACKAGE=${merro_delivered_package}
            -DPACKAGE_VERSION=${MERRO_DELIVERED_VERSION}
            -DOUTDIR=${merro_package_dir}
            ${merro_setup_script}
    DEPENDS ${merro_setup_script} ${merro_delivered_package}
            ${merro_setup_input}/merroupdate.exe ${merro_setup_input}/7z.dll ${merro_setup_input}/QVLogo.png
    COMMENT "MerroUpdate-${PROJECT_VERSION}-setup.exe (makensis)"
    VERBATIM)
add_custom_target(merro_setup ALL DEPENDS ${merro_setup_file})
# For the installer test (tests/windows), configured before this file.
set_target_properties(merro_setup PROPERTIES
    MERRO_SETUP_FILE ${merro_setup_file}
    MERRO_SETUP_INPUT ${merro_setup_input}
    MERRO_DELIVERED_VERSION ${MERRO_DELIVERED_VERSION})
