# Round trip through R: the generated program, evaluated by Rscript, must
# rebuild each document's tree as R's xml2 package reads it. Skipped (exit
# code 77) on machines without R and xml2.
add_test(NAME roundtrip
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run.sh $<TARGET_FILE:xml2slist>)
set_tests_properties(roundtrip PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)

# Documents built to run code when their output is sourced must build only
# their own objects.
add_test(NAME roundtrip.untrusted
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/untrusted.sh $<TARGET_FILE:xml2slist>
                 ${PROJECT_SOURCE_DIR}/examples/slist2r.awk)
set_tests_properties(roundtrip.untrusted PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
