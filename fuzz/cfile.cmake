# Compound file and record stream fuzzing; without libFuzzer the target replays its inputs.
morvik_fuzz_target(fuzz_cfile ${CMAKE_CURRENT_LIST_DIR}/cfile_fuzz.cpp)
target_link_libraries(fuzz_cfile PRIVATE morvik_xls_io)

if(MORVIK_BUILD_TESTS AND NOT MORVIK_FUZZ)
    set(fuzz_cfile_inputs ${CMAKE_CURRENT_LIST_DIR}/regressions/cfile)
    if(EXISTS ${MORVIK_SHARED_DIR}/corpus/xls)
        list(APPEND fuzz_cfile_inputs ${MORVIK_SHARED_DIR}/corpus/xls)
    endif()
    add_test(NAME fuzz_cfile_replay COMMAND fuzz_cfile ${fuzz_cfile_inputs})
endif()
