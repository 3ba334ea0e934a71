# The font-strip generator draws its glyphs with FreeType. Without FreeType
# the generator is left out of the build; the committed strip still serves.
pkg_check_modules(FREETYPE2 IMPORTED_TARGET freetype2)
if(FREETYPE2_FOUND)
  target_link_libraries(make_font PRIVATE PkgConfig::FREETYPE2)
else()
  message(STATUS "freetype2 not found: make_font is not built")
  set_target_properties(make_font PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
