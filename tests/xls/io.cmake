# Compound file and record stream tests.
foreach(test cfile_test biff_stream_test)
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
        add_executable(${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
        target_link_libraries(${test} PRIVATE morvik_xls_io morvik_warnings morvik_test_main)
        target_compile_definitions(${test} PRIVATE MORVIK_SHARED_DIR="${MORVIK_SHARED_DIR}")
        gtest_discover_tests(${test})
    endif()
endforeach()
