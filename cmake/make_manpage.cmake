# Writes the man page from the program's own usage text, so that the two
# cannot drift apart: every line of "tessel --help" becomes an entry of the
# OPTIONS section, followed by the longer notes of man/option-notes.txt.
#
#   cmake -DTESSEL=<program> -DSOURCE=<tessel.1.in> -DNOTES=<option-notes.txt>
#         -DOUTPUT=<tessel.1> -DVERSION=<x.y.z> -P make_manpage.cmake

function(roff_escape text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND "${TESSEL}" --help
  OUTPUT_FILE "${OUTPUT}.help" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TESSEL} --help failed: ${status}")
endif()
file(STRINGS "${OUTPUT}.help" help_lines)
file(REMOVE "${OUTPUT}.help")

# Notes: "--long-name<TAB>text" or "-x<TAB>text", several lines per option allowed.
file(STRINGS "${NOTES}" note_lines)

# Entries in the order the usage text first names them. A later line for
# the same option (the "Further options" section, which completes lines the
# usage text keeps as they always were) replaces its text; a line of only
# spaces before the text continues the line above it. Options with a short
# form only (-x, -z) are described by the page itself.
set(synopsis "")
set(keys "")
set(current "")
foreach(line IN LISTS help_lines)
  if(line MATCHES "^usage: tessel (.*)$")
    roff_escape("${CMAKE_MATCH_1}" synopsis)
    continue()
  endif()
  if(line MATCHES "^                            (.*)$")
    if(NOT current STREQUAL "")
      string(APPEND text_${current} " ${CMAKE_MATCH_1}")
    endif()
    continue()
  endif()
  if(line MATCHES "^  (-[a-zA-Z]), (--[a-z0-9-]+) *(.*)$")
    set(current "${CMAKE_MATCH_2}")
    set(short_${current} "${CMAKE_MATCH_1}")
    set(text_${current} "${CMAKE_MATCH_3}")
  elseif(line MATCHES "^      (--[a-z0-9-]+) *(.*)$")
    set(current "${CMAKE_MATCH_1}")
    set(short_${current} "")
    set(text_${current} "${CMAKE_MATCH_2}")
  else()
    set(current "")
    continue()
  endif()
  list(FIND keys "${current}" seen)
  if(seen EQUAL -1)
    list(APPEND keys "${current}")
  endif()
endforeach()

set(options "")
foreach(long IN LISTS keys)
  set(short "${short_${long}}")
  roff_escape("${long}" long_roff)
  if(short STREQUAL "")
    set(head "\\fB${long_roff}\\fR")
  else()
    roff_escape("${short}" short_roff)
    set(head "\\fB${short_roff}\\fR, \\fB${long_roff}\\fR")
  endif()
  roff_escape("${text_${long}}" text)
  string(APPEND options ".TP\n${head}\n")
  if(NOT text STREQUAL "")
    string(APPEND options "${text}.\n")
  endif()
  foreach(note IN LISTS note_lines)
    if(note MATCHES "^(-[-a-z0-9]+)\t(.*)$")
      set(key "${CMAKE_MATCH_1}")
      if(key STREQUAL long OR key STREQUAL short)
        string(APPEND options "${CMAKE_MATCH_2}\n")
      endif()
    endif()
  endforeach()
endforeach()

set(TESSEL_SYNOPSIS "${synopsis}")
set(TESSEL_OPTIONS "${options}")
set(TESSEL_VERSION "${VERSION}")
configure_file("${SOURCE}" "${OUTPUT}" @ONLY)
