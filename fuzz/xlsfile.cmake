# Whole workbook loads; without libFuzzer the target replays past findings and the corpus.
morvik_fuzz_target(fuzz_xlsfile ${CMAKE_CURRENT_LIST_DIR}/xlsfile_fuzz.cpp)
target_link_libraries(fuzz_xlsfile PRIVATE morvik_xls)

if(MORVIK_BUILD_TESTS AND NOT MORVIK_FUZZ)
    set(fuzz_xlsfile_inputs ${CMAKE_CURRENT_LIST_DIR}/regressions/xlsfile)
    if(EXISTS ${MORVIK_SHARED_DIR}/corpus/xls)
        list(APPEND fuzz_xlsfile_inputs ${MORVIK_SHARED_DIR}/corpus/xls)
    endif()
    add_test(NAME fuzz_xlsfile_replay COMMAND fuzz_xlsfile ${fuzz_xlsfile_inputs})
endif()
