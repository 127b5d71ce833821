# Renders the manual page as plain UTF-8 text with CR LF line ends, for the
# Windows zip, where there is no man. groff writes U+2010 for a hyphen; an
# ASCII hyphen reads the same in every editor.
# Run as: cmake -DGROFF=groff -DIN=orbitpick.1 -DOUT=orbitpick.txt -P this
execute_process(
  COMMAND "${GROFF}" -man -Tutf8 -P-cbou -rLL=78n "${IN}"
  OUTPUT_VARIABLE text
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR errors)
  message(FATAL_ERROR "groff failed on ${IN}: ${errors}")
endif()
string(REPLACE "‐" "-" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
