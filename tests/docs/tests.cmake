# Tests of what a user meets: the examples, the manual pages, the R
# conversion shown in the README, the installation and the Debian package.
# All carry the label `docs`.
set(xml2slist_docs_tests ${CMAKE_CURRENT_LIST_DIR})

# Every example folder is a golden case: its output is kept in step.
add_test(NAME examples COMMAND golden_runner $<TARGET_FILE:xml2slist> ${PROJECT_SOURCE_DIR}/examples)

# Each page renders without warnings; its DIAGNOSTICS, or the page it refers
# to, names every message of the sources; its examples show what they write.
foreach(program IN ITEMS xml2slist xml2r)
  if(program STREQUAL "xml2slist")
    set(test_name manpage)
  else()
    set(test_name manpage.${program})
  endif()
  add_test(NAME ${test_name}
           COMMAND bash ${xml2slist_docs_tests}/check_manpage.sh ${PROJECT_SOURCE_DIR}/docs/${program}.1
                   ${PROJECT_SOURCE_DIR}/src $<TARGET_FILE:${program}> ${PROJECT_SOURCE_DIR}/examples)
  set_tests_properties(${test_name} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()

add_test(NAME r_conversion
         COMMAND bash ${xml2slist_docs_tests}/check_r_conversion.sh $<TARGET_FILE:xml2slist>
                 ${PROJECT_SOURCE_DIR}/examples/slist2r.awk ${xml2slist_docs_tests}/r_conversion)

add_test(NAME install
         COMMAND bash ${xml2slist_docs_tests}/check_install.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/examples/record.xml ${xml2slist_docs_tests}/record.expected
                 ${xml2slist_docs_tests}/xml2r_start.expected)

add_test(NAME package
         COMMAND bash ${xml2slist_docs_tests}/check_package.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/examples/record.xml ${xml2slist_docs_tests}/record.expected
                 ${xml2slist_docs_tests}/xml2r_start.expected)
set_tests_properties(package PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)

set_tests_properties(examples manpage manpage.xml2r r_conversion install package PROPERTIES LABELS docs)
