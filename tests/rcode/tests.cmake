# The R code xml2r writes, checked in R: it builds what the S output builds
# through examples/slist2r.awk, it always loads without error or warning, and
# hostile documents build only data. Skipped (exit code 77) without R.
foreach(check IN ITEMS equivalence always_parses untrusted)
  add_test(NAME rcode.${check}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run.sh ${check} $<TARGET_FILE:xml2slist>
                   $<TARGET_FILE:xml2r> ${PROJECT_SOURCE_DIR})
  set_tests_properties(rcode.${check} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()
