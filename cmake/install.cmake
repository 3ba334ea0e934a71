# cmake --install puts the game where a desktop finds it: the executable, its
# desktop entry, its icons and its AppStream description.
include(GNUInstallDirs)
set(REEFDART_APP_ID net.kelplineworks.Reefdart)
install(TARGETS reefdart RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/${REEFDART_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/${REEFDART_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/icon_${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${REEFDART_APP_ID}.png)
endforeach()
