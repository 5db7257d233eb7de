# Runs PROGRAM (through EMULATOR, if given) in a new WORK_DIR with ANSWERS as standard input and
# compares what it writes with the approved files: the transcript with any CR LF read as LF (a
# Windows console's text mode), the two tables byte for byte.
#   cmake -DPROGRAM=... [-DEMULATOR=wine] -DANSWERS=... -DAPPROVED_DIR=... -DWORK_DIR=... -P approved_run.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(
  COMMAND ${EMULATOR} "${PROGRAM}"
  WORKING_DIRECTORY "${WORK_DIR}"
  INPUT_FILE "${ANSWERS}"
  OUTPUT_FILE "${WORK_DIR}/transcript"
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "exit status ${status}, expected 0\n${errors}")
endif()

file(READ "${WORK_DIR}/transcript" transcript)
string(REPLACE "\r\n" "\n" transcript "${transcript}")
file(READ "${APPROVED_DIR}/typical.out" expected)
if(NOT transcript STREQUAL expected)
  message(FATAL_ERROR "the transcript differs from approved/typical.out: see ${WORK_DIR}/transcript")
endif()

foreach(pair "pk.txt;typical_peak.txt" "rms.txt;typical_grms.txt")
  list(GET pair 0 table)
  list(GET pair 1 approved)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/${table}"
                          "${APPROVED_DIR}/${approved}" RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${table} differs from approved/${approved}")
  endif()
endforeach()
