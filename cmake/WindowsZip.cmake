# `make windows-zip`: mapconv-VERSION-windows-x86_64.zip from the Windows build, a folder of that
# name holding the programs, the atom data, a README.txt for Windows users and the copyright
# notice, and the example experiment of `make run` in a folder `example`. The texts get CR LF line
# ends for Windows editors. The example is written by the host build's example writer
# (MAPCONV_EXAMPLE_WRITER, which `make windows-zip` sets), so that building needs no emulator.
set(MAPCONV_EXAMPLE_WRITER "" CACHE FILEPATH "The host build's make_example, for the zip's example")
set(zip_name mapconv-${PROJECT_VERSION}-windows-x86_64)
set(zip_stage ${CMAKE_BINARY_DIR}/zip/${zip_name})
# Without the writer the zip is not made: a zip without its example would fail README.txt's first
# command.
set(example_writer ${MAPCONV_EXAMPLE_WRITER})
if(NOT example_writer)
  set(example_writer ${CMAKE_COMMAND} -E false)
endif()
add_custom_target(windows_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}/data
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:mapconv> $<TARGET_FILE:grd2ccp4>
          $<TARGET_FILE:grdpeaks_program> $<TARGET_FILE:grdsection_program> ${zip_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/atmdata.dat ${zip_stage}/data
  COMMAND ${example_writer} ${zip_stage}/example
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/packaging/windows/README.txt
          -DTARGET=${zip_stage}/README.txt -P ${PROJECT_SOURCE_DIR}/cmake/WithCrLf.cmake
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/packaging/copyright
          -DTARGET=${zip_stage}/COPYRIGHT.txt -P ${PROJECT_SOURCE_DIR}/cmake/WithCrLf.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${zip_name}.zip --format=zip ${zip_name}
  DEPENDS mapconv grd2ccp4 grdpeaks_program grdsection_program
  COMMENT "Packing ${zip_name}.zip"
  VERBATIM)
