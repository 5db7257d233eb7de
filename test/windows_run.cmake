# Runs the Windows PROGRAM (through EMULATOR, if given) in a new WORK_DIR with ANSWERS as standard
# input, and checks what it leaves, as the Linux side lists it (wine stores names as UTF-8):
#   STATUS      the exit status (default 0)
#   TRANSCRIPT  an approved transcript, compared with CR LF read as LF (a console's text mode)
#   CONTAINS    a text the transcript must hold
#   TABLES      "name=approved" pairs: exactly these tables, byte for byte the approved files
#   THROUGH_CMD start it as "cmd /c PROGRAM < answers": the redirection is then a file that a
#               Windows process opened, as Command Prompt opens it, rather than one wine passes on
#   cmake -DPROGRAM=... [-DEMULATOR=wine] -DANSWERS=... -DAPPROVED_DIR=... -DWORK_DIR=... \
#         [-DSTATUS=2] [-DTRANSCRIPT=typical.out] [-DCONTAINS=...] [-DTABLES=pk.txt=typical_peak.txt;...] \
#         [-DTHROUGH_CMD=ON] -P windows_run.cmake
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY_FILE "${ANSWERS}" "${WORK_DIR}/answers.txt")
if(THROUGH_CMD)
  file(TO_NATIVE_PATH "${PROGRAM}" native_program)
  if(EMULATOR)  # wine: the Linux folders are drive Z:
    string(REPLACE "/" "\\" native_program "Z:${PROGRAM}")
  endif()
  set(command ${EMULATOR} cmd /c "${native_program} < answers.txt > transcript 2> errors")
  set(redirection)
else()
  set(command ${EMULATOR} "${PROGRAM}")
  set(redirection INPUT_FILE "${WORK_DIR}/answers.txt" OUTPUT_FILE "${WORK_DIR}/transcript"
                  ERROR_FILE "${WORK_DIR}/errors")
endif()
execute_process(COMMAND ${command} WORKING_DIRECTORY "${WORK_DIR}" ${redirection}
                RESULT_VARIABLE status TIMEOUT 60)
file(READ "${WORK_DIR}/errors" errors)
file(READ "${WORK_DIR}/transcript" transcript)
string(REPLACE "\r\n" "\n" transcript "${transcript}")
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${transcript}\n${errors}")
endif()
if(TRANSCRIPT)
  file(READ "${APPROVED_DIR}/${TRANSCRIPT}" expected)
  if(NOT transcript STREQUAL expected)
    message(FATAL_ERROR "the transcript differs from approved/${TRANSCRIPT}: see ${WORK_DIR}/transcript")
  endif()
endif()
if(CONTAINS)
  string(FIND "${transcript}" "${CONTAINS}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the transcript lacks \"${CONTAINS}\":\n${transcript}")
  endif()
endif()
file(READ "${ANSWERS}" answers_before HEX)
file(READ "${WORK_DIR}/answers.txt" answers_after HEX)
if(NOT answers_before STREQUAL answers_after)
  message(FATAL_ERROR "the answers file was changed")
endif()

set(expected_names answers.txt errors transcript)
foreach(pair IN LISTS TABLES)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 table)
  list(GET pair 1 approved)
  list(APPEND expected_names "${table}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/${table}"
                          "${APPROVED_DIR}/${approved}" RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${table} is missing or differs from approved/${approved}")
  endif()
endforeach()
file(GLOB names RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
list(SORT names)
list(SORT expected_names)
if(NOT names STREQUAL expected_names)
  message(FATAL_ERROR "the folder holds ${names}, expected ${expected_names}")
endif()
