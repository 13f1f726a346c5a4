# Authenticode signatures for the Windows files: merroupdate.exe, the
# launcher, 7z.dll (cmake/InstallWindows.cmake) and the setup program with its
# uninstaller (makensis's !finalize and !uninstfinalize), all signed with
# osslsigncode by the script sign-file of the build tree.
#
# A release signs with the vendor's certificate: MERRO_SIGNING_PFX (a PKCS#12
# file with the code-signing certificate, its chain and key), the password in
# the environment variable MERRO_SIGNING_PASSWORD at build time (or the file
# MERRO_SIGNING_PASSWORD_FILE), and MERRO_TIMESTAMP_URL, an RFC 3161 time
# stamp server, so signatures outlive the certificate. Without a PFX the build
# makes a throwaway self-signed code-signing certificate in signing/ and signs
# with it, so every build and the tests go through the same signing path;
# Windows trusts such signatures no more than none.
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
find_program(OPENSSL openssl REQUIRED)
set(MERRO_SIGNING_PFX "" CACHE FILEPATH "Code-signing certificate and key (PKCS#12); empty: a throwaway self-signed one")
set(MERRO_SIGNING_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the PFX's password; empty: the environment's MERRO_SIGNING_PASSWORD at build time")
set(MERRO_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time stamp server for the signatures; none when empty")

set(merro_signing_dir ${PROJECT_BINARY_DIR}/signing)
if(MERRO_SIGNING_PFX)
    set(merro_signing_pfx ${MERRO_SIGNING_PFX})
    set(MERRO_SIGNING_CERTIFICATE "")
else()
    set(merro_signing_pfx ${merro_signing_dir}/throwaway.pfx)
    # What the tests check the signatures against.
    set(MERRO_SIGNING_CERTIFICATE ${merro_signing_dir}/throwaway-certificate.pem)
    if(NOT EXISTS ${merro_signing_pfx})
        file(MAKE_DIRECTORY ${merro_signing_dir})
        execute_process(
            COMMAND ${OPENSSL} req -x509 -newkey rsa:3072 -sha256 -days 3650 -nodes
                    -subj "/CN=MerroUpdate throwaway build signing/O=Pelvane"
                    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning"
                    -keyout ${merro_signing_dir}/throwaway-key.pem -out ${MERRO_SIGNING_CERTIFICATE}
            COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
        execute_process(
            COMMAND ${OPENSSL} pkcs12 -export -inkey ${merro_signing_dir}/throwaway-key.pem
                    -in ${MERRO_SIGNING_CERTIFICATE} -out ${merro_signing_pfx} -passout pass:
            COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
    endif()
    message(STATUS "Signing the Windows files with a throwaway self-signed certificate "
                   "(${merro_signing_dir}): give MERRO_SIGNING_PFX to sign a release")
endif()
set(MERRO_SIGN_FILE ${PROJECT_BINARY_DIR}/sign-file)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/sign-file.in ${MERRO_SIGN_FILE}
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
