# The defaults every user's working folder starts from, installed machine-wide
# by both packages (Linux: /usr/share/merroupdate; Windows: the program
# folder's defaults\), from which the login launcher makes the folder at the
# user's first login:
#   com.qv.plug.zip   the delivered extension package: MERRO_DELIVERED_PACKAGE,
#                     or the repository's demo extension (demo/extension)
#                     zipped at MERRO_DELIVERED_VERSION
#   LocalConfig.json  the first configuration, recording that version
# In the build tree they are in share/merroupdate, where the launcher beside
# the built program (bin/) finds them as it finds the installed ones.
set(MERRO_DELIVERED_PACKAGE "" CACHE FILEPATH
    "The extension package both setups deliver; empty for the demo extension")
set(MERRO_DELIVERED_VERSION "1.0.0" CACHE STRING
    "The delivered package's version, which the first LocalConfig.json records")
if(NOT MERRO_DELIVERED_VERSION MATCHES "^[A-Za-z0-9][A-Za-z0-9._+~-]*$")
    message(FATAL_ERROR "MERRO_DELIVERED_VERSION \"${MERRO_DELIVERED_VERSION}\" is no version (letters, digits, . _ + ~ -)")
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(MERRO_DEFAULTS_DIR ${PROJECT_BINARY_DIR}/share/merroupdate)
set(merro_delivered_package ${MERRO_DEFAULTS_DIR}/com.qv.plug.zip)
if(MERRO_DELIVERED_PACKAGE)
    if(NOT EXISTS ${MERRO_DELIVERED_PACKAGE})
        message(FATAL_ERROR "MERRO_DELIVERED_PACKAGE ${MERRO_DELIVERED_PACKAGE} does not exist")
    endif()
    add_custom_command(OUTPUT ${merro_delivered_package}
        COMMAND ${CMAKE_COMMAND} -E copy ${MERRO_DELIVERED_PACKAGE} ${merro_delivered_package}
        DEPENDS ${MERRO_DELIVERED_PACKAGE}
        COMMENT "com.qv.plug.zip: ${MERRO_DELIVERED_PACKAGE} ${MERRO_DELIVERED_VERSION}, delivered by the setups"
        VERBATIM)
else()
    file(GLOB_RECURSE merro_demo_extension CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/demo/extension/*)
    add_custom_command(OUTPUT ${merro_delivered_package}
        COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/make-delivered-package
                ${PROJECT_SOURCE_DIR}/demo/extension ${MERRO_DELIVERED_VERSION} ${merro_delivered_package}
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/make-delivered-package ${merro_demo_extension}
        COMMENT "com.qv.plug.zip: the demo extension ${MERRO_DELIVERED_VERSION}, delivered by the setups"
        VERBATIM)
endif()
file(CONFIGURE OUTPUT ${MERRO_DEFAULTS_DIR}/LocalConfig.json CONTENT
    "{\"Elasp\": \"\", \"Setup\": \"no\", \"url\": \"\", \"versionNumber\": \"@MERRO_DELIVERED_VERSION@\"}\n")
add_custom_target(merro_defaults ALL DEPENDS ${merro_delivered_package})
