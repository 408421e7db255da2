# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the staged files of the Debian package, before
# it is packed: what Debian's policy asks of a package and an install tree does not have.
# The manual pages are compressed (gzip -9n: no name or time stamp, so two builds of one
# source give one package), and /usr/share/doc/mvbridge gets the copyright file and the
# changelog of a native package.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(stage ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

file(GLOB pages ${stage}/share/man/man*/*.[1-9])
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()

set(doc ${stage}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})
configure_file(${CPACK_MVBRIDGE_COPYRIGHT_FILE} ${doc}/copyright COPYONLY)

# One entry for the version packed, dated by SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${doc}/changelog
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Packed from the source tree of version ${CPACK_PACKAGE_VERSION}.\n\n"
  " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")
execute_process(COMMAND gzip -9nf ${doc}/changelog RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${doc}/changelog")
endif()
file(CHMOD ${doc}/copyright ${doc}/changelog.gz PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
