# Tests of sheets, cells, rows, columns and ranges.
foreach(unit workbook rowcol)
    add_executable(${unit}_test ${CMAKE_CURRENT_LIST_DIR}/${unit}_test.cpp)
    target_link_libraries(${unit}_test PRIVATE morvik_xls_model morvik_test_main morvik_warnings)
    gtest_discover_tests(${unit}_test)
endforeach()
