# The title picture generator draws its lettering with FreeType. Without
# FreeType the generator is left out of the build; the committed pictures
# still serve.
pkg_check_modules(FREETYPE2 IMPORTED_TARGET freetype2)
if(FREETYPE2_FOUND)
  target_link_libraries(make_title PRIVATE PkgConfig::FREETYPE2)
else()
  message(STATUS "freetype2 not found: make_title is not built")
  set_target_properties(make_title PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
