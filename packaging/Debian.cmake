# Debian package of the program: `cpack` in a build folder configured with
# -DCMAKE_INSTALL_PREFIX=/usr (tools/dev.sh deb does all of it). The paths the
# program looks in for its manual are compiled in from the install prefix, so
# a package built from a /usr/local tree would look in the wrong place.

set(VORLANE_PACKAGE_MAINTAINER "Vorlane maintainers <vorlane@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlane)
set(CPACK_PACKAGE_VENDOR "Vorlane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORLANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "several desktops of shortcuts and notes in one window")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorlane gives you several extra desktops in one window. Each tab page is a
desktop holding freely placed shortcuts (files, folders, programs with a
command string, web addresses) and small coloured notes, with its own
background, caption look and optional password. Everything is kept in one
settings file.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORLANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps. What it cannot see are the plugins
# Qt loads by name: the SVG icon engine and image reader (the program's icon
# in the theme and most of Adwaita's icons are SVG), and the theme folder the
# icons are installed into.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4), hicolor-icon-theme")
# Icons of files and folders on shortcuts (Adwaita, else hicolor), MIME types
# by file name for those icons, more picture formats for backgrounds, and a
# native window on Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, shared-mime-info, qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "x-terminal-emulator")

include(CPack)
