# What `cmake --install` puts where, and the Debian package that `make package` builds from it.
#   bin/orvex-gcs, bin/orvex
#   share/orvex/html, share/orvex/OffLine         the map pages (found as <program>/../share/orvex)
#   share/applications/orvex-gcs.desktop          the desktop menu entry
#   share/icons/hicolor/NxN/apps/orvex-gcs.png    the program icon, drawn at build time
#   share/doc/orvex-gcs/                          README and the operator guide
# The paths below bin/ and share/ are fixed: the program looks for its pages there.

install(TARGETS orvex RUNTIME DESTINATION bin)
if(TARGET orvex-gcs)
  install(TARGETS orvex-gcs RUNTIME DESTINATION bin)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/html ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/OffLine
          DESTINATION share/orvex)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvex-gcs.desktop DESTINATION share/applications)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor/ DESTINATION share/icons/hicolor)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/operator-guide.md
        DESTINATION share/doc/orvex-gcs)

# ---- the Debian package: build/orvex-gcs_<version>_amd64.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex-gcs)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvex")
set(CPACK_PACKAGE_CONTACT "Orvex ground station developers <orvex-gcs@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Orvex 无人机地面站: ground control station for the Orvex flight controller")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Desktop ground control station for unmanned aircraft flown by the Orvex flight controller:\n\
telemetry panels and instruments, a map with route planning and upload, flight logs with\n\
replay, flight-controller configuration and spoken alarms. Includes the orvex command-line tool.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (and the browser engine's helper process, which its library
# names) come from dpkg-shlibdeps; what they load at run time is named here: Qt's Chinese
# translations, the speech engine and a font with the Chinese characters.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-translations-l10n, qt6-speech-flite-plugin, fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
