# Streams read through the bounded window, and the pooled cell storage, at sizes that span
# many windows and many pool blocks.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/stream_window_test.cpp)
    add_executable(stream_window_test ${CMAKE_CURRENT_LIST_DIR}/stream_window_test.cpp)
    target_link_libraries(stream_window_test PRIVATE morvik_xls_io morvik_xls_model morvik_warnings morvik_test_main)
    gtest_discover_tests(stream_window_test)
endif()
