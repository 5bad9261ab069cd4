# Memory running out, on the real binary: a preloaded allocator refuses one
# allocation after another. The sanitizers own malloc and reserve terabytes
# of address space, so none of these runs under them.
if(NOT XML2SLIST_SANITIZE AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_library(fail_allocation MODULE ${CMAKE_CURRENT_LIST_DIR}/fail_allocation.cpp)
  target_compile_options(fail_allocation PRIVATE -fno-exceptions -fno-rtti)
  # Only libc: the converter carries its own C++ runtime.
  target_link_options(fail_allocation PRIVATE -Wl,--as-needed)
  target_link_libraries(fail_allocation PRIVATE xml2slist_warnings ${CMAKE_DL_LIBS})

  add_executable(xml2slist_oom ${CMAKE_CURRENT_LIST_DIR}/oom_sweep.cpp)
  target_link_libraries(xml2slist_oom PRIVATE xml2slist_core xml2slist_warnings)
  add_dependencies(xml2slist_oom fail_allocation)

  set(oom_shim $<TARGET_FILE:fail_allocation>)
  set(oom_program $<TARGET_FILE:xml2slist>)
  set(oom_tests)
  # Documents made to reach every kind of state; each refused allocation
  # alone, then every allocation from it on.
  set(oom_cases features features_trace duplicate_id duplicate_id_trace syntax_error syntax_error_trace
                waiting_id large_tokens many_files)
  foreach(case IN LISTS oom_cases)
    add_test(NAME oom.sweep.${case} COMMAND xml2slist_oom sweep ${oom_shim} ${oom_program} ${case})
    add_test(NAME oom.sweep_onward.${case} COMMAND xml2slist_oom sweep ${oom_shim} ${oom_program} ${case} onward)
    list(APPEND oom_tests oom.sweep.${case} oom.sweep_onward.${case})
  endforeach()
  # Every golden and example document, in shards.
  set(oom_shards 3)
  math(EXPR last_oom_shard "${oom_shards} - 1")
  foreach(shard RANGE ${last_oom_shard})
    add_test(NAME oom.corpus.${shard}
             COMMAND xml2slist_oom corpus ${oom_shim} ${oom_program} ${shard} ${oom_shards}
                     ${PROJECT_SOURCE_DIR}/tests/golden ${PROJECT_SOURCE_DIR}/examples)
    list(APPEND oom_tests oom.corpus.${shard})
  endforeach()
  # xml2r the same way: when memory runs out it writes nothing more, so its
  # code ends with a whole statement, a prefix of the full run's.
  foreach(case IN ITEMS features duplicate_id syntax_error waiting_id large_tokens)
    add_test(NAME oom.r_sweep.${case} COMMAND xml2slist_oom sweep ${oom_shim} $<TARGET_FILE:xml2r> ${case} onward)
    list(APPEND oom_tests oom.r_sweep.${case})
  endforeach()
  add_test(NAME oom.r_corpus COMMAND xml2slist_oom corpus ${oom_shim} $<TARGET_FILE:xml2r> 0 1
                                     ${PROJECT_SOURCE_DIR}/tests/golden_r ${PROJECT_SOURCE_DIR}/examples)
  list(APPEND oom_tests oom.r_corpus)
  add_test(NAME oom.address_space COMMAND xml2slist_oom address_space ${oom_program}
                                          ${PROJECT_SOURCE_DIR}/examples/record.xml)
  list(APPEND oom_tests oom.address_space)
  set_tests_properties(${oom_tests} PROPERTIES LABELS oom TIMEOUT 300)
endif()
