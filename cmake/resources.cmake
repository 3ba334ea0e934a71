# Pictures, modules and clips in resources/ become byte arrays in the
# executable: EMBEDDED_CPP holds them (RESOURCE_SOURCES in cmake/sources.cmake
# are the tables beside them). Every data file in resources/ is embedded.
file(GLOB RESOURCE_FILES CONFIGURE_DEPENDS
  resources/*.bmp resources/*.mod resources/*.wav resources/*.png)
set(EMBEDDED_CPP ${CMAKE_BINARY_DIR}/embedded_resources.cpp)
string(REPLACE ";" "|" RESOURCE_FILE_ARG "${RESOURCE_FILES}")
add_custom_command(
  OUTPUT ${EMBEDDED_CPP}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${EMBEDDED_CPP} "-DFILES=${RESOURCE_FILE_ARG}"
          -P ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  DEPENDS ${RESOURCE_FILES} ${CMAKE_SOURCE_DIR}/cmake/embed.cmake
  COMMENT "Embedding resources"
  VERBATIM)
