# Compound file and record stream fuzzing.
morvik_fuzz_target(fuzz_cfile ${CMAKE_CURRENT_LIST_DIR}/cfile_fuzz.cpp
    LINK morvik_xls_io REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/cfile WITH_CORPUS)
