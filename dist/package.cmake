# The Debian package: `cpack -G DEB` in the build folder (scripts/dev.sh package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Tolvane developers <tolvane@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration program for USB gaming mice")
set(CPACK_PACKAGE_DESCRIPTION
    "Tolvane configures the supported USB gaming mice, wired or through their\n"
    "wireless receiver: DPI levels and colours, polling rate, lift-off\n"
    "distance, button assignments, macros and lighting. It comes with a\n"
    "window program (tolvane) and a command-line tool (tolvanectl), and a\n"
    "udev rule that gives the logged-in user access to the mice.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tolvane/tolvane")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The rule takes effect through systemd-logind's uaccess tag; udevadm runs
# from the maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# What Debian expects in every package: the copyright file and a compressed
# changelog (changelog.gz: the version has no Debian revision, so the package
# is a native one), in /usr/share/doc/tolvane.
install(FILES debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
# file(CONFIGURE) writes only when the text changes, so the package step does
# not redo the compressed copy on every configure.
file(CONFIGURE OUTPUT ${changelog} CONTENT
     "tolvane (${PROJECT_VERSION}) unstable; urgency=medium\n\n  * Package built from the project's sources.\n\n -- The Tolvane developers <tolvane@users.noreply.github.com>  Wed, 09 Dec 2026 00:00:00 +0000\n")
add_custom_command(
  OUTPUT ${changelog}.gz
  COMMAND gzip -9n -c ${changelog} > ${changelog}.gz
  DEPENDS ${changelog}
  VERBATIM)
add_custom_target(tolvane_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
