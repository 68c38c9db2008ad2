# Display text of file number formats and style inheritance on odd style tables.
add_executable(model_review_test ${CMAKE_CURRENT_LIST_DIR}/model_review_test.cpp)
target_link_libraries(model_review_test PRIVATE morvik_xls_model morvik_test_main morvik_warnings)
gtest_discover_tests(model_review_test)
