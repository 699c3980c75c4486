# Makes a program's manual page from its own --help and --version with help2man, plus the hand-
# written sections of INCLUDE; for kalvora-cli also a COMMANDS section from each command's --help.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DINCLUDE=....h2m -DDATADIR=<prefix>/share/kalvora
#         -DSOURCE_DATE_EPOCH=<release date> -DOUTPUT=NAME.1.gz -P manual_page.cmake

cmake_minimum_required(VERSION 3.25)
# The drawing commands start the toolkit; no display is needed for their help.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)
# help2man dates the page by the release, not by the day of the build.
set(ENV{SOURCE_DATE_EPOCH} ${SOURCE_DATE_EPOCH})
get_filename_component(name ${PROGRAM} NAME)
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
set(include_file ${OUTPUT}.h2m)
file(READ ${INCLUDE} sections)
# The folders of this installation, not of any other prefix.
string(REPLACE "@DATADIR@" "${DATADIR}" sections "${sections}")

if(name STREQUAL "kalvora-cli")
  execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${PROGRAM} --help failed")
  endif()
  # The commands are the two-space indented words under "Commands:".
  string(REGEX MATCH "Commands:\n(  [^\n]*\n)+" listing "${help}")
  string(REGEX MATCHALL "\n  [a-z][a-z-]*" commands "${listing}")
  string(APPEND sections "[COMMANDS]\n")
  foreach(command ${commands})
    string(STRIP "${command}" command)
    execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE text
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
    endif()
    # The model options every command shares are in the description once, not in each command.
    string(FIND "${text}" "\nModel options:\n" shared)
    if(shared GREATER 0)
      math(EXPR shared "${shared} + 1")
      string(SUBSTRING "${text}" 0 ${shared} text)
    endif()
    # Shown as the program prints it; roff's escape character and leading dots made literal.
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    string(APPEND sections ".SS ${command}\n.nf\n${text}.fi\n")
  endforeach()
endif()
file(WRITE ${include_file} "${sections}")

execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --include=${include_file}
    --output=${OUTPUT}.1 ${PROGRAM}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
execute_process(COMMAND gzip -9nf ${OUTPUT}.1 RESULT_VARIABLE failed)
file(RENAME ${OUTPUT}.1.gz ${OUTPUT})
file(REMOVE ${include_file})
