# The installed programs and the files of a Linux desktop program: menu entry, icons, AppStream
# metainfo, documentation. Included at the end of the top-level CMakeLists.txt.
include(GNUInstallDirs)

# Identifier of the desktop entry, the icon and the metainfo (reverse DNS of the publisher).
set(SERVICETOOL_APP_ID "org.example.servicetool" CACHE STRING "Desktop and AppStream identifier")
set(SERVICETOOL_RELEASE_DATE "2025-07-25")

# Programs of the package; one that is not built (yet) is left out.
set(servicetool_programs servicetool servicetool-sim servicetool-cli)
# Manual pages of the package; one that is not written (yet) is left out.
set(servicetool_manpages docs/servicetool-cli.1)

foreach(program IN LISTS servicetool_programs)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE SERVICETOOL_VERSION="${PROJECT_VERSION}"
                                                  SERVICETOOL_APP_ID="${SERVICETOOL_APP_ID}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
foreach(page IN LISTS servicetool_manpages)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${page})
    get_filename_component(section ${page} LAST_EXT)
    string(SUBSTRING ${section} 1 -1 section)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endif()
endforeach()
# Tests that run the programs compare with the same version.
if(TARGET e2e_tests)
  target_compile_definitions(e2e_tests PRIVATE SERVICETOOL_VERSION="${PROJECT_VERSION}")
endif()

# The window icon, compiled into the program.
if(TARGET servicetool)
  set_target_properties(servicetool PROPERTIES AUTORCC ON)
  target_sources(servicetool PRIVATE ${CMAKE_SOURCE_DIR}/packaging/icons.qrc)
endif()

set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)
configure_file(${packaging}/servicetool.desktop.in ${generated}/${SERVICETOOL_APP_ID}.desktop @ONLY)
configure_file(${packaging}/servicetool.metainfo.xml.in ${generated}/${SERVICETOOL_APP_ID}.metainfo.xml @ONLY)

install(FILES ${generated}/${SERVICETOOL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${SERVICETOOL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/servicetool.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${SERVICETOOL_APP_ID}.svg)
foreach(size 48 128)
  install(FILES ${packaging}/icons/servicetool-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${SERVICETOOL_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows the window through these pictures, at the same relative place.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES ${packaging}/Config314x0.cfg.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        RENAME Config314x0.cfg)
