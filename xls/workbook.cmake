# Sheets, cells, rows, columns, ranges and page setup on top of the style tables.
target_sources(morvik_xls_model PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/XLSRects.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XLSWorkbook.cpp
)
