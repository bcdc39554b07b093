# Installation and the Debian package: the program, its icons in the hicolor theme, the menu entry and
# the autostart entry that starts it after the panel (so the tray is there).
include(GNUInstallDirs)

if(TARGET ostrell)
  install(TARGETS ostrell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.svg")
install(FILES ${CMAKE_SOURCE_DIR}/data/ostrell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
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
set(CPACK_PACKAGE_DESCRIPTION "Ostrell sits in the notification area, exchanges bookings, payments and rates \
with the Veltrana server on a fixed cycle, and hands what it received to Brannick's importer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Binaries go out stripped; the debugging symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 runtime; the SVG plug-ins draw the icons, and the platform plug-ins come with libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6network6, libqt6gui6, libqt6core6, libqt6svg6, libc6, libstdc++6")
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
