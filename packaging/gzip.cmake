# cmake -DGZIP=... -DINPUT=... -DOUTPUT=... -P gzip.cmake
# gzip -n -9 into OUTPUT, replaced only when whole: a failed run must not
# leave a truncated file that the next build takes as up to date.
execute_process(COMMAND ${GZIP} -n -9 -c ${INPUT}
                OUTPUT_FILE ${OUTPUT}.part
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "gzip failed on ${INPUT}: ${result}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
