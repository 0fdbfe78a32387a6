# `cpack -G DEB` (or `cpack --preset release`): a Debian package of what TavrelInstall.cmake installs, named
# tavrel_<version>_<arch>.deb, its dependencies found by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_PACKAGE_NAME tavrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}) # all four numbers; CPack would take only three
set(CPACK_PACKAGE_VENDOR "Tavrel maintainers")
set(CPACK_PACKAGE_CONTACT "Tavrel maintainers <maintainers@users.noreply.c-seed-6ba3c6d1.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for one DMR radio repeater over IP")
# Lines of at most 80 characters; CPack indents them and marks empty ones as the control file wants.
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrel is a desktop tool for the technician who maintains one DMR radio
repeater over IP. It keeps a plain-text TCP command channel open to the
repeater's operation-and-maintenance port 2301 (heartbeat every 5 seconds,
endless reconnection), sends maintenance and query commands from its menus,
receives and files the repeater's UDP text log and binary air-interface log,
and shows the alarm state on five lamps. Up to sixteen copies run at once,
each against its own repeater.

The package also holds tavrel-repeater, a repeater emulator for trying the
tool on loopback and for training, and tavrel-collector, a headless service
that watches a fleet of repeaters, files their logs and serves their state
as metrics for Prometheus (with a systemd unit template).")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/tavrel/tavrel")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tavrel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Nothing by hand: Debian's libqt6gui6 holds the X11 platform plugin and libqt6svg6 the SVG icon plugins.

set(CPACK_GENERATOR DEB)
# Only the build tree's own installation; the source tree is not packaged.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
