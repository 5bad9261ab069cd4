# Tests of what a user meets: the examples, the manual page, the R
# conversion shown in the README, the installation and the Debian package.
set(xml2slist_docs_tests ${CMAKE_CURRENT_LIST_DIR})

# Every example folder is a golden case: its output is kept in step.
add_test(NAME examples COMMAND golden_runner $<TARGET_FILE:xml2slist> ${PROJECT_SOURCE_DIR}/examples)

# Renders without warnings; DIAGNOSTICS names every message of the sources.
add_test(NAME manpage
         COMMAND bash ${xml2slist_docs_tests}/check_manpage.sh ${PROJECT_SOURCE_DIR}/docs/xml2slist.1
                 ${PROJECT_SOURCE_DIR}/src)
set_tests_properties(manpage PROPERTIES SKIP_RETURN_CODE 77)

add_test(NAME r_conversion
         COMMAND bash ${xml2slist_docs_tests}/check_r_conversion.sh $<TARGET_FILE:xml2slist>
                 ${PROJECT_SOURCE_DIR}/examples/slist2r.awk ${xml2slist_docs_tests}/r_conversion)

add_test(NAME install
         COMMAND bash ${xml2slist_docs_tests}/check_install.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/examples/record.xml ${xml2slist_docs_tests}/record.expected)

add_test(NAME package
         COMMAND bash ${xml2slist_docs_tests}/check_package.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR}/examples/record.xml ${xml2slist_docs_tests}/record.expected)
set_tests_properties(package PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
