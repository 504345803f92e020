# Every install and package rule of the project, in one place; the folders' own
# CMakeLists.txt hold only their build rules. Two install components: "kest" (the
# container library for other programs: the static library, its public headers, CMake
# package config, kest.pc and its documentation) and "game" (the program, the route
# program, the pictures and the desktop integration). The places are those
# GNUInstallDirs names (the prefix, also one given to cmake --install, and DESTDIR are
# honoured). One CPack run makes a Debian package of each component, libkest-dev and
# quillory:
#   cpack --preset release     (after building quillory, quillory-route and kest)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(QUILLORY_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# The library and its public headers. A program includes them by the library's name,
# <kest/containers/x.h>, with the include folder itself on its path, so that folders of
# its own called containers/ or memory/ meet no clash; the headers include each other by
# relative paths. Headers of internals (the channels, the encodings, the zlib layer) are
# not installed.
install(TARGETS kest EXPORT kestTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT kest
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/containers/container.h
  ${PROJECT_SOURCE_DIR}/containers/container_base.h
  ${PROJECT_SOURCE_DIR}/containers/container_item.h
  ${PROJECT_SOURCE_DIR}/containers/kest_exception.h
  ${PROJECT_SOURCE_DIR}/containers/kest_string.h
  ${PROJECT_SOURCE_DIR}/containers/peer_data_container.h
  ${PROJECT_SOURCE_DIR}/containers/string_container.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kest/containers COMPONENT kest)
install(FILES
  ${PROJECT_SOURCE_DIR}/memory/int_container.h
  ${PROJECT_SOURCE_DIR}/memory/mem_buffer.h
  ${PROJECT_SOURCE_DIR}/memory/mem_space.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kest/memory COMPONENT kest)

# The changelog and the manual pages are installed compressed, as Debian's policy asks
# (gzip -9n: the same bytes on every build).
foreach(document debian/changelog quillory.6 quillory-route.6)
  get_filename_component(name ${document} NAME)
  execute_process(COMMAND gzip -9nc INPUT_FILE ${QUILLORY_DATA_DIR}/${document}
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLORY_DATA_DIR}/${document})
endforeach()
# Every package carries the copyright notice and the changelog in its own documentation folder.
set(QUILLORY_PACKAGE_DOCS ${QUILLORY_DATA_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz)

# The library: its CMake package, its pkg-config file and its documentation.
set(KEST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kest)
install(EXPORT kestTargets NAMESPACE kest:: DESTINATION ${KEST_CMAKE_DIR} COMPONENT kest)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kestConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kestConfig.cmake INSTALL_DESTINATION ${KEST_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kestConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kestConfig.cmake ${CMAKE_BINARY_DIR}/kestConfigVersion.cmake
  DESTINATION ${KEST_CMAKE_DIR} COMPONENT kest)
# kest.pc names absolute folders, so it is written at install time for the prefix
# being installed to (cmake --install --prefix, or /usr inside a package).
install(CODE "
  set(KEST_VERSION \"${PROJECT_VERSION}\")
  set(KEST_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(KEST_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/kest.pc.in\" \"${CMAKE_BINARY_DIR}/kest.pc\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
       TYPE FILE FILES \"${CMAKE_BINARY_DIR}/kest.pc\")
" COMPONENT kest)
install(FILES ${QUILLORY_PACKAGE_DOCS} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libkest-dev COMPONENT kest)
# The library's guide, and the programs it points to.
install(FILES ${QUILLORY_DATA_DIR}/kest-guide.md RENAME guide.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libkest-dev COMPONENT kest)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libkest-dev/examples
        COMPONENT kest)

# The game, when it is built (not in the library-only build).
if(NOT QUILLORY_LIBRARY_ONLY)
  set(QUILLORY_APP_ID io.github.quillory.Quillory)
  # Debian keeps games in <prefix>/games (on the default PATH); bin is the choice of
  # systems that do not.
  set(QUILLORY_INSTALL_BINDIR games CACHE STRING "Folder under the prefix for the game's programs")
  install(TARGETS quillory quillory-route RUNTIME DESTINATION ${QUILLORY_INSTALL_BINDIR} COMPONENT game)
  # The game reads images/ relative to its working directory; the desktop entry starts
  # it in the folder that holds the installed images/.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/images/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quillory/images
          COMPONENT game FILES_MATCHING PATTERN "*.bmp")
  install(CODE "
    set(QUILLORY_DESKTOP_TEMPLATE \"${QUILLORY_DATA_DIR}/${QUILLORY_APP_ID}.desktop.in\")
    set(QUILLORY_DESKTOP_OUTPUT \"${CMAKE_BINARY_DIR}/${QUILLORY_APP_ID}.desktop\")
    set(QUILLORY_APP_ID \"${QUILLORY_APP_ID}\")
    set(QUILLORY_BINDIR \"${QUILLORY_INSTALL_BINDIR}\")
    set(QUILLORY_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
    include(\"${QUILLORY_DATA_DIR}/install_desktop_entry.cmake\")
  " COMPONENT game)
  install(FILES ${QUILLORY_DATA_DIR}/${QUILLORY_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)
  install(FILES ${QUILLORY_DATA_DIR}/icons/48x48/${QUILLORY_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps COMPONENT game)
  install(FILES ${QUILLORY_DATA_DIR}/icons/scalable/${QUILLORY_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT game)
  install(FILES ${QUILLORY_PACKAGE_DOCS} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillory COMPONENT game)
  install(FILES ${CMAKE_BINARY_DIR}/quillory.6.gz ${CMAKE_BINARY_DIR}/quillory-route.6.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
endif()

# Packaging.
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
