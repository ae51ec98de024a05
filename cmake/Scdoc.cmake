# SPDX-License-Identifier: GPL-3.0-or-later
# Turns one scdoc source into a roff man page: cmake -DINPUT=... -DOUTPUT=... -DSCDOC=... -P Scdoc.cmake
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "scdoc could not read ${INPUT}")
endif()
