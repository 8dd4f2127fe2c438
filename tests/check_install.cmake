# Installs the build into a fresh prefix and checks that exactly the program
# and its manual page arrive. -DBUILD_DIR=<build folder> -DPREFIX=<scratch prefix>
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (status ${rc})")
endif()
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
set(expected "bin/pelorand;share/man/man1/pelorand.1")
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected: ${expected}")
endif()
file(REMOVE_RECURSE ${PREFIX})
