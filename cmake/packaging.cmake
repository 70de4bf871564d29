# Installing and the Debian package. An installed program finds its tables
# and sounds in <prefix>/share/nimbrel and copies them into the user's own
# folder on first start (settings/program_folder.h); radar_service reads the
# region table from there too.
include(GNUInstallDirs)

install(TARGETS nimbrel radar_service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(nimbrel_share_files "")
foreach(f ${NIMBREL_DELIVERED_PATHS})
  if(IS_ABSOLUTE ${f})
    list(APPEND nimbrel_share_files ${f})
  else()
    list(APPEND nimbrel_share_files ${CMAKE_SOURCE_DIR}/data/${f})
  endif()
endforeach()
install(FILES ${nimbrel_share_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbrel)
install(FILES data/nimbrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/nimbrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# What the package says of itself: the licences, a short README and a manual
# page per program.
install(FILES data/doc/copyright data/doc/README DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${NIMBREL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "nimbrel developers <nimbrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Rain approach warning for one place (Japanese interface)")
# The long description, one line of the control file per item.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Watches X-band weather radar images around one location and warns of"
  "approaching rain with a status colour, sounds, a tray icon and desktop"
  "notifications."
  ""
  "It needs a radar service: the service's address in server.ini"
  "(~/.config/nimbrel/server.ini), or the local radar service running."
  "The package includes that service, radar_service, which serves generated"
  "rain on 127.0.0.1:8642, the address the program uses without server.ini.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The run-time libraries come from what the binaries link, found by
# dpkg-shlibdeps (dpkg-dev); fonts for the Japanese interface are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package test: its contents, then the program run from it unpacked
# into a temporary root. Skipped when the package has not been built.
add_test(NAME package_installs_and_runs
  COMMAND ${CMAKE_SOURCE_DIR}/tests/package/package_test.sh
          ${CMAKE_BINARY_DIR}/nimbrel_${PROJECT_VERSION}_amd64.deb)
set_tests_properties(package_installs_and_runs PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
