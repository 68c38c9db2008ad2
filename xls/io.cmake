# Compound file and BIFF record stream: the bottom of the reader, with no model behind it.
add_library(morvik_xls_io
    ${CMAKE_CURRENT_LIST_DIR}/CFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Streams.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BiffStream.cpp
)
target_include_directories(morvik_xls_io PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(morvik_xls_io PRIVATE morvik_xls_cp1250 morvik_warnings)
# Coverage for libFuzzer: without it the fuzz targets only see their own entry point.
if(MORVIK_FUZZ)
    target_compile_options(morvik_xls_io PRIVATE -fsanitize=fuzzer-no-link)
endif()
