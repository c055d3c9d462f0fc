# Run by CPack after the install into its staging tree and before the package is made: compresses
# the man pages, adds the copyright and the compressed changelog. gzip -n keeps the archives free
# of names and times, so that the same sources give the same package.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

function(compress_into file)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed: ${status}")
  endif()
endfunction()

file(GLOB pages ${root}/${CPACK_MAPCONV_MAN_DIR}/*.1)
if(NOT pages)
  message(FATAL_ERROR "No man pages in ${root}/${CPACK_MAPCONV_MAN_DIR}")
endif()
foreach(page ${pages})
  compress_into(${page})
endforeach()

set(doc ${root}/${CPACK_MAPCONV_DOC_DIR})
file(MAKE_DIRECTORY ${doc})
file(COPY ${CPACK_MAPCONV_SOURCE_DIR}/packaging/copyright ${CPACK_MAPCONV_SOURCE_DIR}/packaging/changelog
     DESTINATION ${doc} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
compress_into(${doc}/changelog)
