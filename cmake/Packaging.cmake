# The Debian package (cpack -G DEB, scripts/package-test): one package
# "tiravel" with both programs, the libretro core, the demo cartridge, the
# desktop entry, icon, AppStream metadata and man pages, from `cmake --install`.
# Build it from a build configured with -DCMAKE_INSTALL_PREFIX=/usr, so the
# desktop entry's demo path and the core's multiarch folder are Debian's.

set(CPACK_PACKAGE_CONTACT "The Tiravel developers <tiravel@users.noreply.github.com>")

# /usr/share/doc/tiravel: the copyright (the licence text, LICENSE once the
# tree has it) and the changelog Debian wants, gzip'd as dpkg expects.
set(tiravel_doc ${PROJECT_BINARY_DIR}/package-doc)
file(MAKE_DIRECTORY ${tiravel_doc})
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
    set(tiravel_license ${PROJECT_SOURCE_DIR}/LICENSE)
else()
    set(tiravel_license ${PROJECT_SOURCE_DIR}/cmake/package/LICENSE.in)
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tiravel_license})
configure_file(cmake/package/copyright.in ${tiravel_doc}/copyright @ONLY)
file(READ ${tiravel_license} tiravel_license_text)
# The licence goes in the machine-readable copyright file with each line
# indented and blank lines as " .".
string(REGEX REPLACE "\n$" "" tiravel_license_text "${tiravel_license_text}")
string(REPLACE "\n\n" "\n.\n" tiravel_license_text "${tiravel_license_text}")
string(REPLACE "\n" "\n " tiravel_license_text "${tiravel_license_text}")
file(APPEND ${tiravel_doc}/copyright " ${tiravel_license_text}\n")

# The changelog's date is the release's, not the build's.
execute_process(COMMAND date -R -u -d "${TIRAVEL_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE tiravel_release_rfc2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(cmake/package/changelog.in ${tiravel_doc}/changelog @ONLY)
execute_process(COMMAND ${GZIP_EXECUTABLE} -9 -n -f -k ${tiravel_doc}/changelog)
install(FILES ${tiravel_doc}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tiravel)
install(FILES ${tiravel_doc}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tiravel)

set(CPACK_PACKAGE_NAME tiravel)
set(CPACK_PACKAGE_VENDOR "The Tiravel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sega Master System and Game Gear emulator")
set(CPACK_PACKAGE_DESCRIPTION
"Tiravel emulates the Sega Master System and the Game Gear handheld with an
open BIOS of its own, so no firmware dump is needed. It plays cartridge
images as they are or inside zip, 7z and gzip files, as four console models
(its own, the Master System, the Master System II and the Game Gear), with
saved states, rewind, battery saves and a debugger.

The package holds the desktop program tiravel, the headless runner
tiravel-headless for tests and scripts, a libretro core for RetroArch, and
a demo cartridge.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${PROJECT_HOMEPAGE_URL})
set(CPACK_RESOURCE_FILE_LICENSE ${tiravel_license})
set(CPACK_STRIP_FILES ON)
# Debian's modes: 0755 folders (lintian flags the group-writable default).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS retroarch)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
