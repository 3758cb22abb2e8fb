# Writes the man page with help2man from the built tool's own help: `ahx --help` and `--version`
# for the page, and each command's --help as a section of its own.
# Inputs: TOOL, HELP2MAN, OUTPUT.
set(include_file ${OUTPUT}.include)
file(WRITE ${include_file} "")
foreach(command play render info check)
  execute_process(COMMAND ${TOOL} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0 AND command STREQUAL "play")
    continue()  # a tool built without play
  elseif(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${command} --help failed")
  endif()
  # Kept as written, in no-fill mode; roff must not read a backslash or a leading dot as its own.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(TOUPPER ${command} section)
  file(APPEND ${include_file} "[AHX ${section}]\n.nf\n${help}.fi\n\n")
endforeach()
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
          --name=${NAME} --include=${include_file} --output=${OUTPUT} ${TOOL}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${TOOL}")
endif()
