# cmake -DNM=<nm> -DOBJECTS=<files;...> -DPATTERN=<regex> -P no_symbols.cmake
# Fails when any of the object files or archives defines or uses a symbol matching
# PATTERN, naming the symbols found.
set(found "")
foreach(obj ${OBJECTS})
  execute_process(COMMAND ${NM} ${obj} OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${obj}")
  endif()
  string(REGEX MATCHALL "[^\n]*(${PATTERN})[^\n]*" hits "${out}")
  foreach(h ${hits})
    string(APPEND found "  ${obj}: ${h}\n")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "symbols matching ${PATTERN}:\n${found}")
endif()
message(STATUS "no symbol matching ${PATTERN} in ${OBJECTS}")
