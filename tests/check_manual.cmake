# Renders the manual page with man's warnings on; any warning fails.
# -DMAN=<man program or empty> -DPAGE=<page>
if(NOT MAN)
  message("SKIPPED: man is not installed")
  return()
endif()
execute_process(COMMAND env MANWIDTH=80 ${MAN} --warnings -l ${PAGE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man --warnings -l ${PAGE} (status ${rc}):\n${warnings}")
endif()
if(NOT text MATCHES "EXIT STATUS" OR NOT text MATCHES "DIAGNOSTICS")
  message(FATAL_ERROR "the rendered page lacks its sections:\n${text}")
endif()
