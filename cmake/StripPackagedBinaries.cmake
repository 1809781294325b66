# Run by CPack on the staged files, before the package is made: strips the program and the
# window module, and drops the .comment and .note sections that a plain strip keeps.
foreach(binary usr/bin/velmora usr/lib/velmora/velmora-qt.so)
  set(path "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${binary}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${binary} is not among the packaged files")
  endif()
  execute_process(
    COMMAND strip --strip-unneeded --remove-section=.comment --remove-section=.note "${path}"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip failed on ${binary}")
  endif()
endforeach()
