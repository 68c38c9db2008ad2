# Formula tokens.
add_executable(ptg_parser_test ${CMAKE_CURRENT_LIST_DIR}/ptg_parser_test.cpp)
target_link_libraries(ptg_parser_test PRIVATE morvik_xls_formula morvik_warnings morvik_test_main)
gtest_discover_tests(ptg_parser_test)
