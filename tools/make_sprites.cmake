# The sprite generator writes the application icons as PNG files with libpng.
find_package(PNG REQUIRED)
target_link_libraries(make_sprites PRIVATE PNG::PNG)
