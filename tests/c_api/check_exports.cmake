# Fails unless the shared library exports exactly the functions that ld952.h declares, under
# its SONAME: no C++ symbol, nothing of the layers or of the C++ runtime, and none missing.
#   cmake -DLIBRARY=FILE -DHEADER=ld952.h -DNM=nm -DREADELF=readelf -DSONAME=NAME -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} cannot read ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}") # ADDRESS TYPE NAME
  list(APPEND exported "${name}")
endforeach()

# The functions of the header: a name followed by its parameter list (the callback types have
# their names in parentheses, "(*ld952_read_fn)(").
file(READ ${HEADER} header)
string(REGEX MATCHALL "[* ]ld952_[a-z_]+\\(" found "${header}")
set(declared)
foreach(match IN LISTS found)
  string(REGEX REPLACE "^[* ](.*)\\($" "\\1" name "${match}")
  list(APPEND declared ${name})
endforeach()
list(REMOVE_DUPLICATES declared)
if(NOT declared)
  message(FATAL_ERROR "no function found in ${HEADER}")
endif()

set(extra ${exported})
list(REMOVE_ITEM extra ${declared})
set(missing ${declared})
list(REMOVE_ITEM missing ${exported})
if(extra OR missing)
  list(JOIN extra "\n  " extra)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "${LIBRARY} exports what ld952.h does not declare:\n  ${extra}\n"
                      "and does not export what it declares:\n  ${missing}")
endif()

execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
if(failed OR NOT dynamic MATCHES "Library soname: \\[([^]]*)\\]")
  message(FATAL_ERROR "${LIBRARY} has no SONAME")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL SONAME)
  message(FATAL_ERROR "the SONAME of ${LIBRARY} is ${CMAKE_MATCH_1}, not ${SONAME}")
endif()
list(LENGTH exported n)
message(STATUS "${LIBRARY}: ${n} functions of ld952.h exported, SONAME ${SONAME}")
