# Installation and the Debian package: the program, its icons in the hicolor theme, the menu entry and
# the autostart entry that starts it after the panel (so the tray is there).
include(GNUInstallDirs)

if(TARGET ostrell)
  install(TARGETS ostrell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.svg")
install(FILES ${CMAKE_SOURCE_DIR}/data/ostrell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# AppStream wants the file named after the component's id.
install(FILES ${CMAKE_SOURCE_DIR}/data/invalid.ostrell.Ostrell.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the Debian changelog go compressed, without a time stamp in the gzip header, so
# that two builds of the same sources give the same package.
find_program(OSTRELL_GZIP gzip REQUIRED)
set(_ostrell_man_gz ${CMAKE_BINARY_DIR}/ostrell.1.gz)
set(_ostrell_changelog_gz ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${_ostrell_man_gz} ${_ostrell_changelog_gz}
                   COMMAND ${OSTRELL_GZIP} -9nc ${CMAKE_SOURCE_DIR}/docs/ostrell.1 > ${_ostrell_man_gz}
                   COMMAND ${OSTRELL_GZIP} -9nc ${CMAKE_SOURCE_DIR}/data/debian/changelog > ${_ostrell_changelog_gz}
                   DEPENDS ${CMAKE_SOURCE_DIR}/docs/ostrell.1 ${CMAKE_SOURCE_DIR}/data/debian/changelog)
add_custom_target(ostrell_docs ALL DEPENDS ${_ostrell_man_gz} ${_ostrell_changelog_gz})
install(FILES ${_ostrell_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${_ostrell_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrell)
# The autostart entry belongs to the system's configuration: /etc/xdg/autostart for a /usr install (and
# in the package), <prefix>/etc/xdg/autostart otherwise. Decided at install time, when the prefix is known.
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"(^|/)usr/?$\")
    get_filename_component(_ostrell_etc \"\${CMAKE_INSTALL_PREFIX}/../etc\" ABSOLUTE)
  else()
    set(_ostrell_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(INSTALL \"${CMAKE_SOURCE_DIR}/data/ostrell-autostart.desktop\"
       DESTINATION \"\${_ostrell_etc}/xdg/autostart\" RENAME ostrell.desktop)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ostrell")
set(CPACK_PACKAGE_CONTACT "Ostrell maintainers <maintainers@ostrell.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop agent linking Brannick with the Veltrana booking service")
set(CPACK_PACKAGE_DESCRIPTION "Ostrell sits in the notification area, exchanges bookings, payments\n\
and rates with the Veltrana server on a fixed cycle, and hands what it\n\
received to Brannick's importer. It warns the owner when bookings stop\n\
coming in.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Binaries go out stripped; the debugging symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps, with their versions; the SVG plug-in that
# draws the icons is loaded at run time, so no link says it is needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian ships binaries stripped (lintian: unstripped-binary-or-object).
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# GNOME shows no tray icons without this extension (the status window stands in meanwhile). Only a
# suggestion: as a recommendation it would pull GNOME Shell onto every KDE or XFCE machine. Qt's own
# catalogues put the buttons of its dialogs in the owner's language too.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator, qt6-translations-l10n")
# The autostart entry is configuration: a local edit survives an upgrade.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/ostrell.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
include(CPack)

# The package is checked with the other tests: contents, dependencies, and the program inside starting.
if(OSTRELL_BUILD_TESTS AND TARGET ostrell)
  find_program(OSTRELL_DPKG_DEB dpkg-deb)
  if(OSTRELL_DPKG_DEB)
    add_test(NAME debian_package COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-deb.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(debian_package PROPERTIES LABELS packaging TIMEOUT 300)
  endif()
endif()
