# Packaging: one CPack run makes a Debian package of each install component (the
# install rules are in data/CMakeLists.txt), quillory and libkest-dev:
#   cpack --preset release     (after building quillory, quillory-route and kest)
set(CPACK_COMPONENTS_ALL kest)
if(NOT QUILLORY_LIBRARY_ONLY)
  list(APPEND CPACK_COMPONENTS_ALL game)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillory)
set(CPACK_PACKAGE_VENDOR "The Quillory developers")
set(CPACK_PACKAGE_CONTACT "The Quillory developers <quillory@example.org>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Run-time dependencies are read from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME quillory)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
# The window font's face (graphics/window_frame.cpp) comes with the game's package.
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-dejavu-extra")
set(CPACK_DEBIAN_GAME_DESCRIPTION "puzzle game: clear the board one cell at a time
Quillory is a single-player puzzle on a board of square cells. You stand on
one cell and step with the arrow keys onto a neighbouring one; the cell you
leave disappears. A table is won when a single cell remains.
.
Fifty tables are built in. Moves can be undone, a table restarted, and the
game finds a route that clears the rest of a table, also on the command line
with quillory-route.")

set(CPACK_DEBIAN_KEST_PACKAGE_NAME libkest-dev)
set(CPACK_DEBIAN_KEST_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_KEST_PACKAGE_DEPENDS "zlib1g-dev")
set(CPACK_DEBIAN_KEST_DESCRIPTION "container library that saves and loads itself (development files)
kest is a small C++ library of strings, containers of items, lists of
strings with a line-file form, integer containers and byte buffers, all of
which save and load themselves in binary and text forms, optionally
zlib-compressed.
.
This package holds the headers, the static library, a CMake package
config (target kest::kest) and a pkg-config file.")

include(CPack)
