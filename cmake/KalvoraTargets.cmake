# The helpers every folder's CMakeLists uses to declare its libraries, tests and analyses.
#
# Includes are written from the repository root ("core/numbers.h", "plot/xy_plot.h"), so every
# library has the root as its include folder; which layer may include which is checked by
# scripts/check-layers (run by CI and as the ctest "layers"), not by the compiler.

# Libraries that kalvora-cli-draw and the desktop program link: each analysis adds its own, so a
# new analysis joins both programs without an edit outside its folder.
define_property(GLOBAL PROPERTY KALVORA_CLI_LIBRARIES
  BRIEF_DOCS "Analysis libraries linked into kalvora-cli-draw"
  FULL_DOCS "Computations and pictures of the analyses, in the order they were declared.")
define_property(GLOBAL PROPERTY KALVORA_APP_LIBRARIES
  BRIEF_DOCS "Analysis window libraries linked into the desktop program"
  FULL_DOCS "Settings dialogs and result windows of the analyses, in the order they were declared.")

# kalvora_add_computation(<target> <sources>... [USES <libraries>...])
# A computation: settings in, points or a raster out. It links the model core and what USES names,
# never the toolkit, so a widget header in it does not even compile.
function(kalvora_add_computation target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
  add_library(${target} STATIC ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PUBLIC kalvora_core ${arg_USES})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  set_property(GLOBAL APPEND PROPERTY KALVORA_CLI_LIBRARIES ${target})
endfunction()

# kalvora_add_picture(<target> <sources>... [USES <libraries>...])
# The drawing of an analysis's result onto any painter, shared by its window and the batch tool's
# picture options. It links the plot library, not the result-window one.
function(kalvora_add_picture target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
  add_library(${target} STATIC ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PUBLIC kalvora_plot ${arg_USES})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  set_property(GLOBAL APPEND PROPERTY KALVORA_CLI_LIBRARIES ${target})
endfunction()

# kalvora_add_windows(<target> <sources>... [USES <libraries>...])
# Settings dialogs and result windows: they link what every result window shares and join the
# desktop program.
function(kalvora_add_windows target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
  add_library(${target} STATIC ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PUBLIC kalvora_analysis_window ${arg_USES})
  set_property(GLOBAL APPEND PROPERTY KALVORA_APP_LIBRARIES ${target})
endfunction()

# kalvora_add_analysis(<name>
#     [COMPUTATION <sources>... [USES <libraries>...]]
#     [PICTURE <sources>... [PICTURE_USES <libraries>...]]
#     [WINDOWS <sources>... [WINDOWS_USE <libraries>...]])
# One analysis folder: the computation kalvora_<name>, its picture kalvora_<name>_picture and its
# windows kalvora_<name>_windows. The picture and the windows link the computation; the windows
# link the picture. docs/adding-an-analysis.md walks through a new one.
function(kalvora_add_analysis name)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
    "" "COMPUTATION;USES;PICTURE;PICTURE_USES;WINDOWS;WINDOWS_USE")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kalvora_add_analysis(${name}): unknown words ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(computation)
  if(arg_COMPUTATION)
    set(computation kalvora_${name})
    kalvora_add_computation(${computation} ${arg_COMPUTATION} USES ${arg_USES})
  endif()
  set(picture)
  if(arg_PICTURE)
    set(picture kalvora_${name}_picture)
    kalvora_add_picture(${picture} ${arg_PICTURE} USES ${computation} ${arg_PICTURE_USES})
  endif()
  if(arg_WINDOWS)
    kalvora_add_windows(kalvora_${name}_windows ${arg_WINDOWS}
      USES ${computation} ${picture} ${arg_WINDOWS_USE})
  endif()
endfunction()

# kalvora_add_test(<target>): a GoogleTest program that ctest runs headless, widget tests on Qt's
# offscreen platform, in the C locale so that number formats cannot depend on the machine.
function(kalvora_add_test target)
  # Tests share helpers written from the root ("tests/support/cli_runner.h").
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${target}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    DISCOVERY_TIMEOUT 60)
endfunction()

# kalvora_add_register_program_test(<target>): the test program once more with the compiled models'
# machine code turned off, so that every comparison it makes also holds for the register program
# the code is made from (the tests' names end in "/register").
function(kalvora_add_register_program_test target)
  gtest_discover_tests(${target}
    TEST_SUFFIX "/register"
    TEST_LIST ${target}_register_tests
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;KALVORA_JIT=off"
    DISCOVERY_TIMEOUT 60)
endfunction()
