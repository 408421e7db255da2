# Fails when a source file under DIR includes a header of a tree it must not reach.
#
#   cmake -DDIR=<folder> -DFORBIDDEN=<regex of include prefixes> -DWHAT=<what the folder is>
#         [-DSTAMP=<file written when the check passes>] -P check_includes.cmake
#
# FORBIDDEN is matched against the start of the included path, with either quote form:
# "cli|lab" refuses #include "cli/..." and #include <lab/...>. A folder without any
# source file fails too, so that a moved folder cannot pass the check by being empty.
foreach(variable DIR FORBIDDEN WHAT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check_includes.cmake needs -D${variable}=...")
  endif()
endforeach()

file(GLOB_RECURSE files ${DIR}/*.h ${DIR}/*.cpp)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no source files under ${DIR}")
endif()
set(offenders "")
foreach(file IN LISTS files)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${FORBIDDEN})/")
  if(includes)
    string(APPEND offenders "\n  ${file}: ${includes}")
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "${WHAT} must not include (${FORBIDDEN})/:${offenders}")
endif()
if(DEFINED STAMP)
  file(WRITE ${STAMP} "${count} files checked\n")
endif()
