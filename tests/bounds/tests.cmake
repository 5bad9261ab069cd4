# Resource bounds and failure paths, each a test on the real binary.
add_executable(xml2slist_bounds ${CMAKE_CURRENT_LIST_DIR}/bounds_check.cpp)
target_link_libraries(xml2slist_bounds PRIVATE xml2slist_core xml2slist_warnings)

set(bounds_program $<TARGET_FILE:xml2slist>)

add_test(NAME bounds.failure_paths
         COMMAND xml2slist_bounds failures ${bounds_program} ${PROJECT_SOURCE_DIR}/examples/record.xml)
add_test(NAME bounds.deep_nesting COMMAND xml2slist_bounds nesting ${bounds_program} 100000)

# Every golden input cut at every byte. The documents are found when the
# test runs. Under the sanitizers a run of the binary costs ten times more,
# so there every 8th cut is taken (the unit tests convert every prefix of
# the seed documents in-process under the sanitizers).
# Shards keep each test short enough to run in parallel and to stay within
# its time limit on a loaded machine.
if(XML2SLIST_SANITIZE)
  set(cut_shards 6)
  set(cut_stride 8)
else()
  set(cut_shards 6)
  set(cut_stride 1)
endif()
math(EXPR last_cut_shard "${cut_shards} - 1")
foreach(shard RANGE ${last_cut_shard})
  add_test(NAME bounds.cuts.${shard}
           COMMAND xml2slist_bounds cuts ${bounds_program} ${shard} ${cut_shards} ${cut_stride}
                   ${PROJECT_SOURCE_DIR}/tests/golden ${PROJECT_SOURCE_DIR}/examples/record.xml)
  set_tests_properties(bounds.cuts.${shard} PROPERTIES LABELS "bounds;exhaustive" TIMEOUT 900)
endforeach()

# Memory figures are the converter's own, so they are measured on the
# uninstrumented build only.
if(NOT XML2SLIST_SANITIZE)
  add_test(NAME bounds.flat_memory_200mb COMMAND xml2slist_bounds records ${bounds_program} 200 16384)
  add_test(NAME bounds.large_word_50mb COMMAND xml2slist_bounds word ${bounds_program} 50 6)
  # Each kind of huge token, and a million entity declarations, at most
  # twice their size: the scanner's area and one copy.
  add_test(NAME bounds.huge_tokens_50mb COMMAND xml2slist_bounds tokens ${bounds_program} 50 2 1000000)
  set_tests_properties(bounds.flat_memory_200mb bounds.large_word_50mb bounds.huge_tokens_50mb
                       PROPERTIES LABELS bounds TIMEOUT 180)
endif()
set_tests_properties(bounds.failure_paths bounds.deep_nesting PROPERTIES LABELS bounds TIMEOUT 120)

# Nothing large lives on the stack: every example and golden case converts
# within a 32 KiB stack, traced too, and deep nesting still ends in the
# parser's own overflow report there.
add_test(NAME bounds.small_stack
         COMMAND xml2slist_bounds stack ${bounds_program} 32 ${PROJECT_SOURCE_DIR}/examples ${PROJECT_SOURCE_DIR}/tests/golden)
add_test(NAME bounds.deep_nesting_small_stack COMMAND xml2slist_bounds nesting ${bounds_program} 100000 32)
set_tests_properties(bounds.small_stack bounds.deep_nesting_small_stack PROPERTIES LABELS bounds TIMEOUT 300)

# xml2r on every golden input cut at every byte, converted in-process: a
# few seconds, so it runs with the other tests.
add_test(NAME bounds.r_cuts
         COMMAND xml2slist_bounds r_cuts ${PROJECT_SOURCE_DIR}/tests/golden ${PROJECT_SOURCE_DIR}/tests/golden_r
                 ${PROJECT_SOURCE_DIR}/examples/record.xml)
set_tests_properties(bounds.r_cuts PROPERTIES LABELS bounds TIMEOUT 900)
