# The browser edition: the same game built with emscripten into a static site
# (index.html, reefdart.js, reefdart.wasm) in ${CMAKE_BINARY_DIR}/site. The
# native libraries are not used; the files that need them stay out, and
# platform/web_host.cpp stands in for the host and for what they gave.
file(GLOB WEB_SOURCES CONFIGURE_DEPENDS
  shell/*.cpp game/*.cpp gfx/*.cpp frontend/*.cpp persist/*.cpp sound/*.cpp platform/*.cpp)
list(FILTER WEB_SOURCES EXCLUDE REGEX
  "/platform/(desktop_[a-z_]*|main|headless_host|image_files|recorder|script|module_player|instance)\\.cpp$")

include(${CMAKE_SOURCE_DIR}/cmake/resources.cmake)

set(WEB_SITE ${CMAKE_BINARY_DIR}/site)
add_executable(reefdart ${WEB_SOURCES} ${EMBEDDED_CPP} ${RESOURCE_SOURCES})
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

add_custom_command(
  TARGET reefdart POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/web/index.html
          ${WEB_SITE}/index.html
  VERBATIM)
