# The browser edition: the same game built with emscripten into a static site
# (index.html, its scripts and worklet, manifest.json, icons/, reefdart.js,
# reefdart.wasm) in ${CMAKE_BINARY_DIR}/site. scripts/web.sh adds the music
# player and the service worker (sw.js, which lists the finished site).
# The native libraries are not used: platform/web/ is the host, and gives the
# handheld stand-ins what platform/native gives them elsewhere.
set(WEB_HOST_SOURCES
  platform/web/audio.cpp
  platform/web/bmp.cpp
  platform/web/host.cpp
  platform/web/main.cpp
  platform/web/module_player.cpp
  platform/web/online.cpp)

include(${CMAKE_SOURCE_DIR}/cmake/resources.cmake)

set(WEB_SITE ${CMAKE_BINARY_DIR}/site)
add_executable(reefdart ${GAME_SOURCES} ${HANDHELD_SOURCES} ${WEB_HOST_SOURCES}
  ${EMBEDDED_CPP} ${RESOURCE_SOURCES})
target_include_directories(reefdart PRIVATE ${CMAKE_SOURCE_DIR})
# stb_image decodes the BMP resources (Debian's libstb-dev, header only).
target_include_directories(reefdart SYSTEM PRIVATE /usr/include/stb)
target_compile_definitions(reefdart PRIVATE REEFDART_VERSION="${PROJECT_VERSION}")
set_target_properties(reefdart PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${WEB_SITE})
# ASYNCIFY lets the message loop wait the way it does natively: each wait
# hands the browser its turn. The data folder lives in IndexedDB (IDBFS).
target_link_options(reefdart PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sEXIT_RUNTIME=0
  -lidbfs.js
  $<$<CONFIG:Release>:-O3>)

# The page, its scripts, the audio worklet, the manifest and the icons, copied
# whenever they change (sw.js is scripts/web.sh's, once the site is whole).
file(GLOB WEB_PAGE_SOURCES CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/web
  ${CMAKE_SOURCE_DIR}/web/*.html ${CMAKE_SOURCE_DIR}/web/*.js ${CMAKE_SOURCE_DIR}/web/*.json
  ${CMAKE_SOURCE_DIR}/web/icons/*.png)
list(REMOVE_ITEM WEB_PAGE_SOURCES sw.js package.json package-lock.json)
set(WEB_PAGE_FILES)
foreach(name ${WEB_PAGE_SOURCES})
  add_custom_command(
    OUTPUT ${WEB_SITE}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/${name} ${WEB_SITE}/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/web/${name}
    VERBATIM)
  list(APPEND WEB_PAGE_FILES ${WEB_SITE}/${name})
endforeach()
add_custom_target(reefdart_page DEPENDS ${WEB_PAGE_FILES})
add_dependencies(reefdart reefdart_page)
