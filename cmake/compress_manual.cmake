# Run by CPack in its staging folder before it builds a package: compresses
# the manual pages there as Debian expects (gzip -9, no name or time stamp).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
list(FILTER pages INCLUDE REGEX "/man/man[1-9]/[^/]+$")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot compress ${page}")
  endif()
endforeach()
if(NOT pages)
  message(FATAL_ERROR "no manual page found under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
