# Workbook model: errors, hash tables, style tables, sheets and cells.
add_library(morvik_xls_model
    ${CMAKE_CURRENT_LIST_DIR}/XLSError.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Crc32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VDataTable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XLSFormatStr.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NumberFormat.cpp
)
target_include_directories(morvik_xls_model PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(morvik_xls_model PRIVATE morvik_xls_cp1250 morvik_warnings)
include(${CMAKE_CURRENT_LIST_DIR}/workbook.cmake OPTIONAL)
