# Every library comes from a Debian package that scripts/install-deps installs.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(nlohmann_json 3.9 REQUIRED)
find_package(CURL REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
