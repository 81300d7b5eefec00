# Run by CPack on the staged files, before it makes the Debian package: compresses the man pages and adds the
# Debian changelog, both with `gzip -9n`, and strips the executables of the sections a package leaves out, as
# the distribution's own packages do. A plain installation keeps the man page uncompressed.
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/morvane")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${status}")
  endif()
endfunction()

file(COPY "${CMAKE_CURRENT_LIST_DIR}/changelog.Debian" DESTINATION "${doc}")
run(gzip -9nf "${root}/share/man/man1/morvane.1" "${root}/share/man/man1/morvane-cli.1" "${doc}/changelog.Debian")
run("${CPACK_MORVANE_STRIP}" --remove-section=.comment --remove-section=.note --strip-unneeded "${root}/bin/morvane"
  "${root}/bin/morvane-cli")
