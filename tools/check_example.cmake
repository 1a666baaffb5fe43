# Runs zu_classify on the bundled example book and compares its listing with
# examples/book/expected.txt.
file(MAKE_DIRECTORY ${OUT})
execute_process(
  COMMAND ${EXE} --rules ${EXAMPLES}/rules --book ${EXAMPLES}/book/holdings.csv
          --tree ${EXAMPLES}/trees/book_tree.xml --export ${OUT}/book_tree.xml --quiet
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zu_classify failed (${rc}):\n${err}")
endif()
string(REPLACE "${OUT}/" "" out "${out}")
file(READ ${EXAMPLES}/book/expected.txt expected)
if(NOT out STREQUAL expected)
  file(WRITE ${OUT}/actual.txt "${out}")
  message(FATAL_ERROR "output differs from ${EXAMPLES}/book/expected.txt; see ${OUT}/actual.txt")
endif()
file(READ ${OUT}/book_tree.xml xml)
foreach(needle "<XTree" "NodeCode=\"0204\"" "RuleCode=\"RATING\"" "I_CODE=\"600000\"")
  string(FIND "${xml}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "exported tree lacks ${needle}")
  endif()
endforeach()
