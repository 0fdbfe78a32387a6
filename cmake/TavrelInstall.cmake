# What `cmake --install` puts where: the three programs, the desktop entry, AppStream metadata, the icon,
# manual pages, copyright and changelog, the collector's systemd unit and example settings, laid out as
# GNUInstallDirs says. Tests and benchmarks are never installed.
include(GNUInstallDirs)

# The reverse-DNS id names the desktop entry, the metainfo file and the icon; the program passes it to
# QGuiApplication::setDesktopFileName so that desktops match its windows to the launcher.
set(TAVREL_DESKTOP_ID "io.github.tavrel.Tavrel")
if(TARGET tavrel)
  target_compile_definitions(tavrel PRIVATE TAVREL_DESKTOP_ID="${TAVREL_DESKTOP_ID}")
endif()

set(TAVREL_CONTRIB_DIR ${PROJECT_SOURCE_DIR}/contrib)
set(TAVREL_DESKTOP_FILE ${TAVREL_CONTRIB_DIR}/desktop/${TAVREL_DESKTOP_ID}.desktop)
set(TAVREL_METAINFO_FILE ${TAVREL_CONTRIB_DIR}/desktop/${TAVREL_DESKTOP_ID}.metainfo.xml)
set(TAVREL_CHANGELOG_FILE ${TAVREL_CONTRIB_DIR}/debian/changelog)
set(TAVREL_MAN_PAGES ${PROJECT_SOURCE_DIR}/docs/man/tavrel.1 ${PROJECT_SOURCE_DIR}/docs/man/tavrel-repeater.1
                     ${PROJECT_SOURCE_DIR}/docs/man/tavrel-collector.1)

# A new version needs its own release notes: the newest entry of the metainfo file and of the changelog.
file(READ ${TAVREL_METAINFO_FILE} _tavrel_metainfo)
file(STRINGS ${TAVREL_CHANGELOG_FILE} _tavrel_changelog_top LIMIT_COUNT 1)
if(NOT _tavrel_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\""
   OR NOT _tavrel_changelog_top MATCHES "^tavrel \\(${PROJECT_VERSION}\\) ")
  message(WARNING "Version ${PROJECT_VERSION} has no release entry in ${TAVREL_METAINFO_FILE} and/or "
                  "${TAVREL_CHANGELOG_FILE}: add one to each before packaging.")
endif()

# Directories made by the installation get the usual 0755, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Only the three programs; our libraries are static and linked into them. Every shared library they load is a
# system one, so the installed programs carry no run path (qt_standard_project_setup would give them
# $ORIGIN/../lib, which a Debian package must not have).
set_target_properties(tavrel tavrel-repeater tavrel-collector PROPERTIES INSTALL_RPATH "")
install(TARGETS tavrel tavrel-repeater tavrel-collector RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${TAVREL_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TAVREL_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tavrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TAVREL_DESKTOP_ID}.svg)

# Manual pages and the changelog are installed gzipped at the highest level and without a name or time
# stamp in the header (gzip -9n), as Debian's packaging rules ask; compressed at build time, once.
find_program(TAVREL_GZIP gzip REQUIRED)
set(_tavrel_gzip_dir ${PROJECT_BINARY_DIR}/gzipped)
set(_tavrel_gzipped)
foreach(_tavrel_source IN LISTS TAVREL_MAN_PAGES TAVREL_CHANGELOG_FILE)
  get_filename_component(_tavrel_name ${_tavrel_source} NAME)
  set(_tavrel_plain ${_tavrel_gzip_dir}/${_tavrel_name})
  add_custom_command(
    OUTPUT ${_tavrel_plain}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_tavrel_gzip_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${_tavrel_source} ${_tavrel_plain}
    COMMAND ${TAVREL_GZIP} -9nf ${_tavrel_plain}
    DEPENDS ${_tavrel_source}
    COMMENT "Compressing ${_tavrel_name}"
    VERBATIM)
  list(APPEND _tavrel_gzipped ${_tavrel_plain}.gz)
endforeach()
add_custom_target(tavrel_gzipped_docs ALL DEPENDS ${_tavrel_gzipped})

install(FILES ${_tavrel_gzip_dir}/tavrel.1.gz ${_tavrel_gzip_dir}/tavrel-repeater.1.gz
              ${_tavrel_gzip_dir}/tavrel-collector.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's layout: /usr/share/doc/<package>/copyright and, for a package of its own upstream, changelog.gz.
set(TAVREL_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavrel)
install(FILES ${TAVREL_CONTRIB_DIR}/debian/copyright DESTINATION ${TAVREL_PACKAGE_DOCDIR})
install(FILES ${_tavrel_gzip_dir}/changelog.gz DESTINATION ${TAVREL_PACKAGE_DOCDIR})

# The collector's service template and an example of its settings. The unit goes under the prefix
# (/usr/lib/systemd/system in the package, which systemd reads as well as /lib/systemd/system), so that
# `cmake --install --prefix DIR` never writes outside DIR.
install(FILES ${TAVREL_CONTRIB_DIR}/systemd/tavrel-collector@.service DESTINATION lib/systemd/system)
install(FILES ${TAVREL_CONTRIB_DIR}/collector/tavrel-collector.conf DESTINATION ${TAVREL_PACKAGE_DOCDIR}/examples)
