# Filling and reading a sheet's cells at several sheet sizes.
add_executable(bench_xls_model ${CMAKE_CURRENT_LIST_DIR}/model_bench.cpp)
target_link_libraries(bench_xls_model PRIVATE morvik_xls_model morvik_warnings benchmark::benchmark)
