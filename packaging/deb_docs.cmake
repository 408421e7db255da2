# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the staged files of the Debian packages, before
# they are packed: what Debian's policy asks of a package and an install tree does not have.
# The manual pages are compressed (gzip -9n: no name or time stamp, so two builds of one
# source give one package), and /usr/share/doc/PACKAGE gets the copyright file and the
# changelog of a native package (whose entry names the source, mvbridge, for every package).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# Adds the documents to the staged tree `stage` (its /usr) of package `package`.
function(add_deb_docs stage package)
  file(GLOB pages ${stage}/share/man/man*/*.[1-9])
  foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip failed on ${page}")
    endif()
  endforeach()

  set(doc ${stage}/share/doc/${package})
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
endfunction()

# With one package per component each is staged in a folder named after its component.
if(CPACK_DEB_COMPONENT_INSTALL)
  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    add_deb_docs(${CPACK_TEMPORARY_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}
      ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  endforeach()
else()
  add_deb_docs(${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX} ${CPACK_PACKAGE_NAME})
endif()
