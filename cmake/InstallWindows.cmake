# The Windows installer: packaging/windows/merroupdate.nsi, built by makensis
# (Debian's nsis, installed by scripts/install-deps) into
# package/MerroUpdate-<version>-setup.exe of the build tree, with every build.
#
# What it installs is gathered in setup-input/ of the build tree first:
#   merroupdate.exe, merroupdate-session.exe, merroupdate-service.exe,
#   merroupdate-rights.exe, merroupdate-setup-tool.exe, 7z.dll
#                            the built program, its login launcher, the
#                            service, the setup's two tools and the codec library,
#                            stripped of their debug
#                            information (30 MB -> 2 MB for the program; the
#                            build tree keeps the full ones)
#   QVLogo.png               the notification logo
#   defaults\               the delivered package and the first
#                            LocalConfig.json (cmake/Defaults.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/Signing.cmake)
find_program(MAKENSIS makensis REQUIRED)
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "The installer strips the program with the toolchain's strip, which CMake did not find")
endif()

set(merro_setup_script ${PROJECT_SOURCE_DIR}/packaging/windows/merroupdate.nsi)
set(merro_setup_input ${PROJECT_BINARY_DIR}/setup-input)
set(merro_package_dir ${PROJECT_BINARY_DIR}/package)
set(merro_setup_file ${merro_package_dir}/MerroUpdate-${PROJECT_VERSION}-setup.exe)
set(merro_setup_files
    ${merro_setup_input}/merroupdate.exe ${merro_setup_input}/merroupdate-session.exe
    ${merro_setup_input}/merroupdate-service.exe ${merro_setup_input}/merroupdate-rights.exe
    ${merro_setup_input}/merroupdate-setup-tool.exe ${merro_setup_input}/7z.dll
    ${merro_setup_input}/QVLogo.png ${merro_setup_input}/defaults/LocalConfig.json
    ${merro_setup_input}/defaults/com.qv.plug.zip)

add_custom_command(OUTPUT ${merro_setup_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${merro_setup_input}/defaults
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate.exe $<TARGET_FILE:merroupdate>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate-session.exe
            $<TARGET_FILE:merroupdate-session>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate-service.exe
            $<TARGET_FILE:merroupdate-service>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate-rights.exe
            $<TARGET_FILE:merroupdate-rights>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/merroupdate-setup-tool.exe
            $<TARGET_FILE:merroupdate-setup-tool>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${merro_setup_input}/7z.dll ${MERRO_CODEC_DLL}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/QVLogo.png ${merro_setup_input}/QVLogo.png
    COMMAND ${CMAKE_COMMAND} -E copy ${MERRO_DEFAULTS_DIR}/LocalConfig.json ${MERRO_DEFAULTS_DIR}/com.qv.plug.zip
            ${merro_setup_input}/defaults
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/merroupdate.exe
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/merroupdate-session.exe
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/merroupdate-service.exe
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/merroupdate-rights.exe
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/merroupdate-setup-tool.exe
    COMMAND ${MERRO_SIGN_FILE} ${merro_setup_input}/7z.dll
    DEPENDS merroupdate $<TARGET_FILE:merroupdate> merroupdate-session $<TARGET_FILE:merroupdate-session>
            merroupdate-service $<TARGET_FILE:merroupdate-service>
            merroupdate-rights $<TARGET_FILE:merroupdate-rights>
            merroupdate-setup-tool $<TARGET_FILE:merroupdate-setup-tool>
            merro_codec_dll ${MERRO_CODEC_DLL} ${PROJECT_SOURCE_DIR}/resources/QVLogo.png merro_defaults
            ${MERRO_DEFAULTS_DIR}/LocalConfig.json ${MERRO_DEFAULTS_DIR}/com.qv.plug.zip
    COMMENT "The installer's files, stripped and signed"
    VERBATIM)

# -WX: a warning of makensis fails the build.
add_custom_command(OUTPUT ${merro_setup_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${merro_package_dir}
    COMMAND ${MAKENSIS} -V2 -WX
            -DVERSION=${PROJECT_VERSION}
            -DBINDIR=${merro_setup_input}
            -DOUTDIR=${merro_package_dir}
            -DSIGN=${MERRO_SIGN_FILE}
            ${merro_setup_script}
    DEPENDS ${merro_setup_script} ${merro_setup_files}
    COMMENT "MerroUpdate-${PROJECT_VERSION}-setup.exe (makensis)"
    VERBATIM)
add_custom_target(merro_setup ALL DEPENDS ${merro_setup_file})
# For the installer test (tests/windows), configured before this file.
set_target_properties(merro_setup PROPERTIES
    MERRO_SETUP_FILE ${merro_setup_file}
    MERRO_SETUP_INPUT ${merro_setup_input}
    MERRO_SIGNING_CERTIFICATE "${MERRO_SIGNING_CERTIFICATE}"
    MERRO_DELIVERED_VERSION ${MERRO_DELIVERED_VERSION})
