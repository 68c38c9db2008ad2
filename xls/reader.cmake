# Record reader and workbook file object on top of the model, the record stream and the
# formula renderer; and xlsdump, which prints what the reader sees in a file.
add_library(morvik_xls STATIC
    ${CMAKE_CURRENT_LIST_DIR}/XLSReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XLSFile.cpp
)
target_include_directories(morvik_xls PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(morvik_xls
    PUBLIC morvik_xls_model morvik_xls_io morvik_xls_formula
    PRIVATE morvik_warnings
)

add_executable(xlsdump ${CMAKE_CURRENT_LIST_DIR}/xlsdump_main.cpp)
target_link_libraries(xlsdump PRIVATE morvik_xls morvik_warnings)
