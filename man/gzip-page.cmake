# Writes a file gzipped without name or time stamp (the manual page, the
# changelog): cmake -DGZIP=... -DIN=... -DOUT=... -P gzip-page.cmake
execute_process(COMMAND ${GZIP} -9n -c ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "gzip failed on ${IN}: ${rc}")
endif()
