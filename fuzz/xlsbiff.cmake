# Whole workbook loads from record streams built out of the fuzzer's bytes (structure-aware).
morvik_fuzz_target(fuzz_xlsbiff ${CMAKE_CURRENT_LIST_DIR}/xlsbiff_fuzz.cpp
    LINK morvik_xls REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/xlsbiff)
