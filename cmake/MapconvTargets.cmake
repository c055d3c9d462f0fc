# The two ways the project declares its targets: a subsystem library from the sources of its
# folder, and a GoogleTest binary from the sources of its test folder. A folder that should hold
# sources but holds none is a configuration error, never a silently missing target.

# mapconv_subsystem(<name> [DEPENDS <library>...])
# A static library of every .cpp in src/<name>/ but the program's main.cpp.
function(mapconv_subsystem name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "DEPENDS")
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    message(FATAL_ERROR "The subsystem ${name} has no sources in src/${name}/")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# mapconv_test_binary(<name> DIRECTORY <dir> LINKS <library>... [PROGRAMS <DEFINE>=<target>...]
#                     [DEFINITIONS <definition>...] [NOT_ON_WINDOWS "<file>: <reason>"...]
#                     [LABEL unit|e2e] [SYSTEM_TESTS <GoogleTest filter>])
# A test binary of every .cpp in <dir>, linked with GoogleTest's main. Its tests carry the CTest
# label LABEL (unit by default); those that SYSTEM_TESTS matches carry `system`, as the package,
# installation and viewer tests do, which `make check` leaves out. The Windows build leaves
# out the end-to-end tests (*_e2e_test.cpp), which the Linux build runs against the Windows
# programs, and each NOT_ON_WINDOWS file, saying why. Each PROGRAMS entry builds
# the target before the tests and hands its path to them as the macro DEFINE. The CTest names come
# from the test names alone, never from printed parameter values (raw bytes, addresses), so two
# builds list the same names.
function(mapconv_test_binary name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "DIRECTORY;LABEL;SYSTEM_TESTS"
                        "LINKS;PROGRAMS;DEFINITIONS;NOT_ON_WINDOWS")
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIRECTORY}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_e2e_test\\.cpp$")
    foreach(entry ${ARG_NOT_ON_WINDOWS})
      string(REGEX REPLACE ":.*$" "" file ${entry})
      list(REMOVE_ITEM sources ${ARG_DIRECTORY}/${file})
      message(STATUS "Not in the Windows tests: ${name}: ${entry}")
    endforeach()
    if(NOT sources)
      return()
    endif()
  endif()
  if(NOT sources)
    message(FATAL_ERROR "The test binary ${name} has no sources in ${ARG_DIRECTORY}/")
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE MAPCONV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             ${ARG_DEFINITIONS})
  foreach(program ${ARG_PROGRAMS})
    string(REPLACE "=" ";" define_and_target ${program})
    list(GET define_and_target 0 define)
    list(GET define_and_target 1 target)
    add_dependencies(${name} ${target})
    target_compile_definitions(${name} PRIVATE ${define}="$<TARGET_FILE:${target}>")
  endforeach()
  # A cross build lists its tests when they are run (under wine, see `make test-windows`), so that
  # building needs no emulator.
  if(CMAKE_CROSSCOMPILING)
    set(discovery_mode PRE_TEST)
  else()
    set(discovery_mode POST_BUILD)
  endif()
  set(discovery WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} DISCOVERY_TIMEOUT 60
                NO_PRETTY_VALUES DISCOVERY_MODE ${discovery_mode})
  if(ARG_SYSTEM_TESTS)
    gtest_discover_tests(${name} ${discovery} TEST_FILTER "-${ARG_SYSTEM_TESTS}"
                         PROPERTIES LABELS ${ARG_LABEL})
    gtest_discover_tests(${name} ${discovery} TEST_FILTER "${ARG_SYSTEM_TESTS}"
                         PROPERTIES LABELS system)
  else()
    gtest_discover_tests(${name} ${discovery} PROPERTIES LABELS ${ARG_LABEL})
  endif()
endfunction()
