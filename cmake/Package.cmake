# Debian package of the installed files (cmake/Install.cmake): cpack -G DEB in the build folder
# writes servicetool_<version>_amd64.deb there (scripts/package does all of it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME servicetool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Service tool team")
set(CPACK_PACKAGE_CONTACT "Service tool team <servicetool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for handheld installation and photovoltaic test instruments")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Desktop service tool for the 31400, 31420, 27510 and 27520 families of handheld\n\
electrical-installation and photovoltaic test instruments on a serial port: firmware\n\
upload to the STM32 boards, EEPROM and data-flash backup and restore, numbered\n\
parameters, calibration date and Wi-Fi module. Opening a serial port needs membership\n\
of the group that owns its device, usually dialout. Includes servicetool-sim, a\n\
simulated instrument on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from the binaries (dpkg-shlibdeps); Qt's platform plugins are loaded at run time, so
# no binary names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# On Windows an NSIS installer instead: the programs in "bin" with Qt's libraries and plugins and the
# compiler's runtime beside them (windeployqt), a Start menu entry and an uninstaller.
if(WIN32)
  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY "Service Tool")
  set(CPACK_NSIS_DISPLAY_NAME "Service Tool ${PROJECT_VERSION}")
  set(CPACK_PACKAGE_EXECUTABLES servicetool "Service Tool")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  get_target_property(servicetool_qmake Qt6::qmake IMPORTED_LOCATION)
  get_filename_component(servicetool_qt_bin ${servicetool_qmake} DIRECTORY)
  install(CODE "execute_process(COMMAND \"${servicetool_qt_bin}/windeployqt.exe\" --release --no-translations
                --compiler-runtime \"\${CMAKE_INSTALL_PREFIX}/bin/servicetool.exe\")")
endif()
include(CPack)
