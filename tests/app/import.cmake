# The workbook import, on workbooks written record by record and on the reader's fixtures.
add_executable(xlsimport_test ${CMAKE_CURRENT_LIST_DIR}/xlsimport_test.cpp)
target_include_directories(xlsimport_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/xls)
target_link_libraries(xlsimport_test PRIVATE morvik_app_core morvik_xls GTest::gtest_main morvik_warnings)
target_compile_definitions(xlsimport_test PRIVATE
    MORVIK_XLS_FIXTURE_DIR="${PROJECT_SOURCE_DIR}/tests/xls/fixtures")
gtest_discover_tests(xlsimport_test)
