# Runs the layout program (under node, the build's emulator) and keeps what it prints as an ES module.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} failed: ${result}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
