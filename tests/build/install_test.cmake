# Installs the library from a build tree into a fresh prefix and uses it the
# way an outside project would: through its CMake package and through its
# pkg-config file. Run with cmake -P and these variables:
#   BUILD_DIR      the build tree to install from
#   CONFIG         its build configuration
#   CONSUMER_DIR   the consumer project (tests/build/consumer)
#   WORK_DIR       scratch folder, emptied first
#   C_COMPILER     the C compiler to build the consumer with

foreach(variable BUILD_DIR CONFIG CONSUMER_DIR WORK_DIR C_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "install test: ${variable} not set")
  endif()
endforeach()

# run(<description> <command...>): runs the command, fails the test when it
# fails, and leaves its standard output in run_output.
function(run description)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "install test: ${description} failed (${result})\n"
      "command: ${ARGN}\n${output}\n${error}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run("installing the library" ${CMAKE_COMMAND} --install ${BUILD_DIR}
  --prefix ${prefix} --config ${CONFIG} --component folio)

# Only the library's files: the header, the library, the CMake package and
# the pkg-config file.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(expected include/folio.h FolioConfig.cmake FolioConfigVersion.cmake
                 FolioTargets.cmake folio.pc)
  list(FILTER installed EXCLUDE REGEX "(^|/)${expected}$")
endforeach()
list(FILTER installed EXCLUDE REGEX "(^|/)FolioTargets-[a-z]+\\.cmake$")
list(FILTER installed EXCLUDE REGEX "(^|/)libfolio\\.(a|so[.0-9]*)$")
if(installed)
  message(FATAL_ERROR "install test: unexpected files installed: ${installed}")
endif()

# The CMake package.
set(consumer_build ${WORK_DIR}/consumer-build)
run("configuring the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${consumer_build}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=${CONFIG}
  -DCMAKE_C_COMPILER=${C_COMPILER})
run("building the consumer" ${CMAKE_COMMAND} --build ${consumer_build} --config ${CONFIG})
find_program(consumer folio_consumer PATHS ${consumer_build} ${consumer_build}/${CONFIG}
  NO_DEFAULT_PATH REQUIRED)
run("running the consumer" ${consumer} ${WORK_DIR}/cmake-consumer.pdf)
run("checking its document" qpdf --check ${WORK_DIR}/cmake-consumer.pdf)

# The pkg-config file, relocated with the prefix.
file(GLOB_RECURSE pc_files ${prefix}/*/folio.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "install test: expected one folio.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run("pkg-config" pkg-config --cflags --libs folio)
string(STRIP "${run_output}" pc_flags)
# pkg-config may leave the path unnormalised (".../lib/pkgconfig/../.."), so
# the folders are judged by what they hold.
if(NOT pc_flags MATCHES "(^| )-I([^ ]+)")
  message(FATAL_ERROR "install test: pkg-config flags lack -I: ${pc_flags}")
endif()
if(NOT EXISTS "${CMAKE_MATCH_2}/folio.h")
  message(FATAL_ERROR "install test: no folio.h in ${CMAKE_MATCH_2}")
endif()
if(NOT pc_flags MATCHES "(^| )-L([^ ]+) -lfolio( |$)")
  message(FATAL_ERROR "install test: pkg-config flags lack -L... -lfolio: ${pc_flags}")
endif()
set(pc_libdir "${CMAKE_MATCH_2}")
file(GLOB pc_libraries "${pc_libdir}/libfolio.*")
if(NOT pc_libraries)
  message(FATAL_ERROR "install test: no libfolio in ${pc_libdir}")
endif()
# The plain flags link, whether the library is static or shared.
separate_arguments(pc_link_flags UNIX_COMMAND "${pc_flags}")
run("compiling with pkg-config flags" ${C_COMPILER} ${CONSUMER_DIR}/consumer.c
  -o ${WORK_DIR}/pkg-config-consumer ${pc_link_flags})
# A shared library is found through the loader's path.
set(ENV{LD_LIBRARY_PATH} "${pc_libdir}")
run("running the pkg-config consumer" ${WORK_DIR}/pkg-config-consumer
  ${WORK_DIR}/pkg-config-consumer.pdf)
run("checking its document" qpdf --check ${WORK_DIR}/pkg-config-consumer.pdf)

message(STATUS "install test: passed (pkg-config: ${pc_flags})")
