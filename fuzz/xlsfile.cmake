# Whole workbook loads: past findings and the corpus of real workbooks.
morvik_fuzz_target(fuzz_xlsfile ${CMAKE_CURRENT_LIST_DIR}/xlsfile_fuzz.cpp
    LINK morvik_xls REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/xlsfile WITH_CORPUS)
