# The zip library that reads and writes compressed backups, as the target
# zur_zip. On Debian it is libzip-dev, found through pkg-config (its CMake
# package names tools that live in other packages). The Windows build passes
# libzip_DIR: a static build of Debian's libzip source, linked with the
# target's static zlib (scripts/windows-libzip).
if(DEFINED libzip_DIR)
    find_package(ZLIB REQUIRED)
    find_package(libzip 1.7 CONFIG REQUIRED)
    add_library(zur_zip INTERFACE)
    target_link_libraries(zur_zip INTERFACE libzip::zip)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip>=1.7)
    add_library(zur_zip INTERFACE)
    target_link_libraries(zur_zip INTERFACE PkgConfig::LIBZIP)
endif()
