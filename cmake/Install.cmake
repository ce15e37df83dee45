# Installation and the Debian package.
#
# Layout under the prefix:
#   <libdir>/tarnwick/tarnwick          the program
#   <libdir>/tarnwick/Tarnwick.html     the user's guide, which Help opens beside the program
#   bin/tarnwick                        a relative symbolic link to the program; the program finds
#                                       its own folder through /proc/self/exe, which resolves it
#   share/applications/tarnwick.desktop
#   share/icons/hicolor/scalable/apps/tarnwick.svg
#   share/icons/hicolor/64x64/apps/tarnwick.png
#   share/doc/tarnwick/copyright        the program's copyright and licence terms
#
#   cmake --install <build> --prefix /tmp/x
#   cd <build> && cpack -G DEB
#
# Nothing here is built by default: a plain build and the tests are unaffected.

include(GNUInstallDirs)

set(TARNWICK_INSTALL_APPDIR "${CMAKE_INSTALL_LIBDIR}/tarnwick")

if(TARGET tarnwick)
  install(TARGETS tarnwick RUNTIME DESTINATION "${TARNWICK_INSTALL_APPDIR}")
endif()
install(FILES "${CMAKE_SOURCE_DIR}/resources/Tarnwick.html" DESTINATION "${TARNWICK_INSTALL_APPDIR}")

# bin/tarnwick -> ../<libdir>/tarnwick/tarnwick. The link is made once in the build folder (it
# dangles there) and installed as a link, so it is listed in install_manifest.txt and follows
# --prefix, DESTDIR and CPack's staging folder alike.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  # Absolute folders given by hand: the link names the program by its full path.
  set(_tarnwick_link_target "${CMAKE_INSTALL_FULL_LIBDIR}/tarnwick/tarnwick")
else()
  file(RELATIVE_PATH _tarnwick_link_target "/prefix/${CMAKE_INSTALL_BINDIR}"
       "/prefix/${TARNWICK_INSTALL_APPDIR}/tarnwick")
endif()
set(_tarnwick_link "${CMAKE_BINARY_DIR}/install-link/tarnwick")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install-link")
file(REMOVE "${_tarnwick_link}")
file(CREATE_LINK "${_tarnwick_link_target}" "${_tarnwick_link}" SYMBOLIC)
install(FILES "${_tarnwick_link}" DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES "${CMAKE_SOURCE_DIR}/resources/tarnwick.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/resources/tarnwick.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${CMAKE_SOURCE_DIR}/resources/tarnwick.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps")
# Every Debian package names its copyright and licence in this file.
install(FILES "${CMAKE_SOURCE_DIR}/resources/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tarnwick")

# The Debian package.
set(TARNWICK_PACKAGE_VERSION "1.0.0" CACHE STRING "Version of the tarnwick package")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarnwick")
set(CPACK_PACKAGE_VERSION "${TARNWICK_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <support@brellon.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and delete duplicate records in Palm Desktop data")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tarnwick is a wizard that finds duplicate contacts, calendar events, tasks\n"
  "and memos in the data of a Palm Desktop installation (under Wine, or a\n"
  "copied Palm Desktop folder) and deletes the ones you choose. It reads the\n"
  "classic and 4.1.x .dat files and the 6.x databases. Deleting only marks a\n"
  "record deleted, and every changed file is first kept as a .bak copy\n"
  "beside it.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick developers <support@brellon.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The packages of the libraries the program links (Qt 6, SQLite 3, libmdb, the C++ runtime) come
# from the binary itself through dpkg-shlibdeps (dpkg-dev), so that none is forgotten; what no
# binary names is listed by hand: the Qt platform plugins, without which no window opens
# (libqt6gui6 only recommends them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The package is complete without an opener for the guide and the log folder; xdg-open is
# recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)

include(${CMAKE_CURRENT_LIST_DIR}/XSessionTest.cmake OPTIONAL)
