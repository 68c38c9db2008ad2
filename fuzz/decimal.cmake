# Decimal text: arbitrary bytes as a cell text, and arbitrary doubles to write.
morvik_fuzz_target(fuzz_decimal ${CMAKE_CURRENT_LIST_DIR}/decimal_fuzz.cpp
    LINK morvik_compute REPLAY ${CMAKE_CURRENT_LIST_DIR}/seeds/decimal)
