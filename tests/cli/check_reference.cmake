# docs/methods.md must be what `nodrel --reference` prints from the method
# table: regenerate it with `nodrel --reference > docs/methods.md`.
execute_process(COMMAND ${PROGRAM} --reference OUTPUT_VARIABLE generated RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nodrel --reference failed: ${status}")
endif()
file(READ ${COMMITTED} committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "${COMMITTED} differs from `nodrel --reference`; regenerate it")
endif()
