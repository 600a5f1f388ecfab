# Looks for what each enabled part of the build needs, before the parts do,
# so that a missing dependency stops the configuration with the Debian
# package that provides it and the scripts/ensure-packages.sh group that
# installs it. Parts that are turned off are not looked at.

# bindwick_require(<what needs it> <package> <Debian package> <group>
#                  [OPTION <option that turns the part off>]
#                  [COMPONENTS <component>...])
macro(bindwick_require what package debian group)
  cmake_parse_arguments(_bindwick_require "" "OPTION" "COMPONENTS" ${ARGN})
  if(_bindwick_require_COMPONENTS)
    find_package(${package} QUIET COMPONENTS ${_bindwick_require_COMPONENTS})
  else()
    find_package(${package} QUIET)
  endif()
  if(NOT ${package}_FOUND)
    bindwick_missing("${what}" "${package} ${_bindwick_require_COMPONENTS}" ${debian}
                     ${group} "${_bindwick_require_OPTION}")
  endif()
endmacro()

# bindwick_require_program(<what needs it> <program> <Debian package> <group>
#                          [OPTION <option>])
function(bindwick_require_program what program debian group)
  cmake_parse_arguments(arg "" "OPTION" "" ${ARGN})
  find_program(BINDWICK_PROGRAM_${program} ${program})
  if(NOT BINDWICK_PROGRAM_${program})
    bindwick_missing("${what}" "the program ${program}" ${debian} ${group} "${arg_OPTION}")
  endif()
endfunction()

function(bindwick_missing what thing debian group option)
  string(STRIP "${thing}" thing)
  set(text "Building ${what} needs ${thing}, which was not found. Install it "
           "with: apt-get install ${debian} (scripts/ensure-packages.sh ${group} "
           "does that)")
  if(option)
    list(APPEND text ", or configure with -D${option}=OFF")
  endif()
  string(JOIN "" text ${text})
  message(FATAL_ERROR "${text}.")
endfunction()

if(BINDWICK_FUZZ)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }
  ]] BINDWICK_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  if(NOT BINDWICK_HAVE_LIBFUZZER)
    bindwick_missing("the fuzz targets" "libFuzzer and the sanitizer runtimes"
                     libclang-rt-14-dev fuzz "")
  endif()
endif()

bindwick_require("the library" ZLIB zlib1g-dev build)
bindwick_require("the library" PNG libpng-dev build)
bindwick_require("the library" TIFF libtiff-dev build)
if(BINDWICK_FUZZ)
  return()
endif()

if(BINDWICK_BUILD_APP AND BINDWICK_BUILD_GUI)
  bindwick_require("the desktop program" Qt6 qt6-base-dev gui
                   OPTION BINDWICK_BUILD_GUI COMPONENTS Widgets)
endif()

if(BINDWICK_BUILD_TESTS)
  set(tests_off OPTION BINDWICK_BUILD_TESTS)
  bindwick_require("the tests" GTest libgtest-dev test ${tests_off})
  bindwick_require("the tests" JPEG libjpeg-dev test ${tests_off})
  bindwick_require("the tests" GIF libgif-dev test ${tests_off})
  set(tools qpdf:qpdf pdfinfo:poppler-utils pdftoppm:poppler-utils
            mutool:mupdf-tools pkg-config:pkg-config)
  if(BINDWICK_BUILD_APP AND BINDWICK_BUILD_GUI)
    bindwick_require("the tests" Qt6 qt6-base-dev gui ${tests_off} COMPONENTS Test)
    list(APPEND tools desktop-file-validate:desktop-file-utils)
  endif()
  foreach(tool ${tools})
    string(REPLACE ":" ";" tool ${tool})
    bindwick_require_program("the tests" ${tool} test ${tests_off})
  endforeach()
  # The tests make some images with Debian's own Python and its modules.
  execute_process(COMMAND /usr/bin/python3 -c "import PIL, numpy"
                  RESULT_VARIABLE python_modules_missing OUTPUT_QUIET ERROR_QUIET)
  if(python_modules_missing)
    bindwick_missing("the tests" "/usr/bin/python3 with PIL and numpy"
                     "python3-pil python3-numpy" test BINDWICK_BUILD_TESTS)
  endif()
endif()
