# The record reader and file object: record-level tests, real fixture files, the
# differential test over the shared corpus.
foreach(unit xlsreader xlsfile xlsdiff hostile)
    add_executable(${unit}_test ${CMAKE_CURRENT_LIST_DIR}/${unit}_test.cpp)
    target_link_libraries(${unit}_test PRIVATE morvik_xls morvik_test_main morvik_warnings)
    target_compile_definitions(${unit}_test PRIVATE
        MORVIK_FIXTURE_DIR="${CMAKE_CURRENT_LIST_DIR}/fixtures"
        MORVIK_SHARED_DIR="${MORVIK_SHARED_DIR}")
    gtest_discover_tests(${unit}_test DISCOVERY_TIMEOUT 60)
endforeach()
