# Decimal text: arbitrary bytes as a cell text, and arbitrary doubles to write.
morvik_fuzz_target(fuzz_decimal ${CMAKE_CURRENT_LIST_DIR}/decimal_fuzz.cpp)
target_link_libraries(fuzz_decimal PRIVATE morvik_compute)

if(MORVIK_BUILD_TESTS AND NOT MORVIK_FUZZ)
    add_test(NAME fuzz_decimal_seeds
             COMMAND fuzz_decimal ${CMAKE_CURRENT_LIST_DIR}/seeds/decimal)
endif()
