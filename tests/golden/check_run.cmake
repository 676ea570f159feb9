# Runs hlr-render once and checks what it did; used as `cmake -P` by the
# golden-trace and failure tests (tests/tool/CMakeLists.txt).
#
#   TOOL             the hlr-render executable
#   ARGS             its arguments, separated by '|'
#   STATUS           the exit status it must end with (default 0)
#   STDOUT_FILE      a file that standard output must equal byte for byte;
#                    without it standard output must be empty
#   STDERR_FILE      a file that standard error must equal byte for byte;
#   STDERR_REGEX     or a regular expression it must match; without either
#                    standard error must be empty
#   ACTUAL_DIR       where a mismatching output is kept for the diff
#   NAME             the test's name, naming the kept output
#   OUTPUT_DIR       a folder the run may write into: it is emptied first
#                    (OLD_FILE, when given, is put there with the text "old")
#   OUTPUT_FILE      with OUTPUT_DIR: the only file the folder may hold
#                    afterwards, equal to the file OUTPUT_EXPECTED; without
#                    it the folder must hold exactly what it held before
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
string(REPLACE "|" ";" arguments "${ARGS}")

if(DEFINED OUTPUT_DIR)
  file(REMOVE_RECURSE "${OUTPUT_DIR}")
  file(MAKE_DIRECTORY "${OUTPUT_DIR}")
  if(DEFINED OLD_FILE)
    file(WRITE "${OUTPUT_DIR}/${OLD_FILE}" "old\n")
  endif()
endif()

execute_process(
  COMMAND "${TOOL}" ${arguments}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE stdout
  ERROR_VARIABLE stderr)

set(failed FALSE)

# Prints a unified diff of `expected_file` against `actual_text`.
function(report_mismatch what expected_file actual_text)
  set(actual_file "${ACTUAL_DIR}/${NAME}.${what}.actual")
  file(WRITE "${actual_file}" "${actual_text}")
  find_program(diff_program diff)
  if(diff_program)
    execute_process(COMMAND "${diff_program}" -u "${expected_file}" "${actual_file}"
                    OUTPUT_VARIABLE difference)
    message("${what} differs from ${expected_file}:\n${difference}")
  else()
    message("${what} differs from ${expected_file}; it was:\n${actual_text}")
  endif()
endfunction()

if(NOT "${status}" STREQUAL "${STATUS}")
  message("exit status ${status}, expected ${STATUS}")
  set(failed TRUE)
endif()

foreach(stream stdout stderr)
  string(TOUPPER "${stream}_FILE" expected_variable)
  if(DEFINED ${expected_variable})
    file(READ "${${expected_variable}}" expected)
    if(NOT "${${stream}}" STREQUAL "${expected}")
      report_mismatch(${stream} "${${expected_variable}}" "${${stream}}")
      set(failed TRUE)
    endif()
  elseif(stream STREQUAL "stderr" AND DEFINED STDERR_REGEX)
    if(NOT "${stderr}" MATCHES "${STDERR_REGEX}")
      message("stderr does not match ${STDERR_REGEX}:\n${stderr}")
      set(failed TRUE)
    endif()
  elseif(NOT "${${stream}}" STREQUAL "")
    message("unexpected ${stream}:\n${${stream}}")
    set(failed TRUE)
  endif()
endforeach()

if(DEFINED OUTPUT_DIR)
  file(GLOB left_behind LIST_DIRECTORIES true RELATIVE "${OUTPUT_DIR}" "${OUTPUT_DIR}/*"
       "${OUTPUT_DIR}/.*")
  if(DEFINED OUTPUT_FILE)
    set(expected_files "${OUTPUT_FILE}")
  elseif(DEFINED OLD_FILE)
    set(expected_files "${OLD_FILE}")
  else()
    set(expected_files "")
  endif()
  if(NOT "${left_behind}" STREQUAL "${expected_files}")
    message("${OUTPUT_DIR} holds [${left_behind}], expected [${expected_files}]")
    set(failed TRUE)
  endif()
  if(DEFINED OUTPUT_FILE AND EXISTS "${OUTPUT_DIR}/${OUTPUT_FILE}")
    file(READ "${OUTPUT_DIR}/${OUTPUT_FILE}" written)
    file(READ "${OUTPUT_EXPECTED}" expected)
    if(NOT "${written}" STREQUAL "${expected}")
      report_mismatch(output "${OUTPUT_EXPECTED}" "${written}")
      set(failed TRUE)
    endif()
  elseif(DEFINED OLD_FILE AND EXISTS "${OUTPUT_DIR}/${OLD_FILE}")
    file(READ "${OUTPUT_DIR}/${OLD_FILE}" kept)
    if(NOT "${kept}" STREQUAL "old\n")
      message("${OLD_FILE} was changed by a failing run")
      set(failed TRUE)
    endif()
  endif()
endif()

if(failed)
  message(FATAL_ERROR "hlr-render ${arguments}: check failed")
endif()
