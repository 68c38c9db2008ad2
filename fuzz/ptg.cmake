# Formula tokens and shared formulas.
morvik_fuzz_target(fuzz_ptg ${CMAKE_CURRENT_LIST_DIR}/ptg_fuzz.cpp)
target_link_libraries(fuzz_ptg PRIVATE morvik_xls_formula)
if(MORVIK_BUILD_TESTS AND NOT MORVIK_FUZZ)
    add_test(NAME fuzz_ptg_regressions
             COMMAND fuzz_ptg ${CMAKE_CURRENT_LIST_DIR}/regressions/ptg)
endif()
