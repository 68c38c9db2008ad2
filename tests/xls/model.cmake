# Tests of the workbook model's foundations: errors, hash tables, style tables, number formats.
foreach(unit xlserror hlist vdatatable xlsformatstr numberformat)
    add_executable(${unit}_test ${CMAKE_CURRENT_LIST_DIR}/${unit}_test.cpp)
    target_link_libraries(${unit}_test PRIVATE morvik_xls_model morvik_test_main morvik_warnings)
    gtest_discover_tests(${unit}_test)
endforeach()
