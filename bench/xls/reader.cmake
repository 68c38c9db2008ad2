# Whole-file loads; compare_xlrd.sh runs xlsdump against xlrd on the same files.
add_executable(xlsreader_bench ${CMAKE_CURRENT_LIST_DIR}/xlsreader_bench.cpp)
target_link_libraries(xlsreader_bench PRIVATE morvik_xls benchmark::benchmark morvik_warnings)
