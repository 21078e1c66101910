# Run after the program is linked: fails when it imports one of the libraries
# meant to load late (LATE_DLLS) at its start. A function of theirs that
# cmake/late-dlls does not list binds the usual way, through the import
# libraries the compiler adds by itself, and the link does not say so.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(TOLOWER "${dump}" dump)
foreach(dll ${LATE_DLLS})
  if(dump MATCHES "dll name: ${dll}\\.dll")
    message(FATAL_ERROR "${PROGRAM} imports ${dll}.dll at its start: "
      "list the functions it uses in cmake/late-dlls/${dll}.def")
  endif()
endforeach()
