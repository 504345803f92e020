# Runs at install time: writes the desktop entry for the prefix being installed to, so
# that Exec names the installed program and Path the folder that holds its images/,
# and installs it (DESTDIR is honoured by file(INSTALL)).
# Expects QUILLORY_DESKTOP_TEMPLATE, QUILLORY_DESKTOP_OUTPUT, QUILLORY_APP_ID,
# QUILLORY_BINDIR and QUILLORY_DATADIR (relative to the prefix, or absolute).
foreach(dir BINDIR DATADIR)
  if(IS_ABSOLUTE "${QUILLORY_${dir}}")
    set(full_${dir} "${QUILLORY_${dir}}")
  else()
    set(full_${dir} "${CMAKE_INSTALL_PREFIX}/${QUILLORY_${dir}}")
  endif()
endforeach()
set(QUILLORY_PROGRAM "${full_BINDIR}/quillory")
set(QUILLORY_FULL_DATA_DIR "${full_DATADIR}/quillory")
configure_file("${QUILLORY_DESKTOP_TEMPLATE}" "${QUILLORY_DESKTOP_OUTPUT}" @ONLY)
file(INSTALL DESTINATION "${full_DATADIR}/applications" TYPE FILE FILES "${QUILLORY_DESKTOP_OUTPUT}")
