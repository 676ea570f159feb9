# The module's export list, read from the built file on the build machine:
# the dynamic symbol table of an ELF shared object (nm -D), or the export
# table of a Windows DLL (objdump -p). The test fails unless the names are
# exactly EXPECTED, in any order.
#
#   cmake -DMODULE=<file> -DFORMAT=ELF|PE -DTOOL=<nm or objdump>
#         -DEXPECTED=<name;...> -P check_exports.cmake
foreach(argument MODULE FORMAT TOOL EXPECTED)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "check_exports.cmake: ${argument} is not given")
  endif()
endforeach()

if(FORMAT STREQUAL "ELF")
  set(command ${TOOL} -D --defined-only --format=posix ${MODULE})
elseif(FORMAT STREQUAL "PE")
  set(command ${TOOL} -p ${MODULE})
else()
  message(FATAL_ERROR "check_exports.cmake: unknown FORMAT '${FORMAT}' (ELF or PE)")
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "'${command}' failed (${status}): ${errors}")
endif()

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
if(FORMAT STREQUAL "ELF")
  # "NAME TYPE VALUE SIZE", one defined dynamic symbol a line.
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^ ]+) ")
      list(APPEND exported ${CMAKE_MATCH_1})
    endif()
  endforeach()
else()
  # The names follow the "[Ordinal/Name Pointer] Table" heading, one
  # "[ n] NAME" a line, up to the next empty line. A DLL without an export
  # table has no such heading.
  set(in_names FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_names TRUE)
    elseif(in_names)
      if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
        list(APPEND exported ${CMAKE_MATCH_1})
      else()
        break()
      endif()
    endif()
  endforeach()
endif()

list(SORT exported)
set(wanted ${EXPECTED})
list(SORT wanted)
if(NOT exported STREQUAL wanted)
  list(JOIN exported ", " exported_text)
  list(JOIN wanted ", " wanted_text)
  message(FATAL_ERROR "${MODULE} exports [${exported_text}], expected exactly [${wanted_text}]")
endif()
message(STATUS "${MODULE} exports exactly [${EXPECTED}]")
