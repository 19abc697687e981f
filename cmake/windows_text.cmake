# Writes a text file for the Windows zip: IN copied (or, with GROFF given, the
# manual page IN rendered to plain ASCII) to OUT with CR LF line ends.
if(GROFF)
  execute_process(COMMAND ${GROFF} -man -Tascii -P-c -P-b -P-u -P-o ${IN}
                  OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "groff could not render ${IN}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
