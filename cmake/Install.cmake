# The program lives in its own folder with QVLogo.png beside it, where it
# looks for the notification image; bin/ holds a link to it.
include(GNUInstallDirs)
set(MERRO_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/merroupdate)

install(TARGETS merroupdate merroupdate-publish RUNTIME DESTINATION ${MERRO_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/QVLogo.png DESTINATION ${MERRO_PROGRAM_DIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/merroupdate-session DESTINATION ${CMAKE_INSTALL_BINDIR})
# The defaults each user's working folder is made from (cmake/Defaults.cmake),
# in ../share/merroupdate of the launcher.
install(FILES ${MERRO_DEFAULTS_DIR}/LocalConfig.json ${MERRO_DEFAULTS_DIR}/com.qv.plug.zip
        DESTINATION ${CMAKE_INSTALL_DATADIR}/merroupdate)
# The link is made where the files really go, whatever prefix the install uses.
install(CODE "set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    foreach(program merroupdate merroupdate-publish)
        file(CREATE_LINK ../${MERRO_PROGRAM_DIR}/\${program} \"\${bin}/\${program}\" SYMBOLIC)
    endforeach()")

# Session autostart lives in the system's configuration folder (/etc for the
# /usr prefix), where desktop sessions look for it.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/merroupdate-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart RENAME merroupdate.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/resources/merroupdate.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME merroupdate)
set(CPACK_PACKAGE_VENDOR "Pelvane")
set(CPACK_PACKAGE_CONTACT "Pelvane <support@pelvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs and keeps up to date the com.qv.plug extension")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Shared libraries are found by dpkg-shlibdeps. The codec library and libcurl
# are loaded at run time, so they are named here: the codec with the 7-Zip
# major version whose interface the program was measured against (Debian's
# p7zip-full carries 7-Zip 26 as 16.02+really26.xx), libcurl with the first
# version that takes protocol lists as text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "p7zip-full (>= 16.02+really26.02), p7zip-full (<< 16.02+really27~), libcurl4 (>= 7.85.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity, dbus-user-session")
# minisign is what merroupdate-publish signs with.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "minisign")
include(CPack)
