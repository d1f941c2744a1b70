# Formats the manual page as plain UTF-8 text for the release archives.
# Variables: GROFF (the groff program), INPUT (the .1 page), OUTPUT (the .txt).
execute_process(
  COMMAND ${GROFF} -k -t -man -Tutf8 -P-cbou ${INPUT}
  OUTPUT_FILE ${OUTPUT}.tmp
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "groff could not format ${INPUT}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
