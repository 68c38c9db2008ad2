# Formula tokens and shared formulas.
morvik_fuzz_target(fuzz_ptg ${CMAKE_CURRENT_LIST_DIR}/ptg_fuzz.cpp
    LINK morvik_xls_formula REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/ptg)
