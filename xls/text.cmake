# Text conversions shared by every layer of the reader and by the app: Windows-1250 and UTF-16
# at the edges, UTF-8 inside. Defined first so that every library below can link it.
add_library(morvik_xls_cp1250 STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Cp1250.cpp
)
target_include_directories(morvik_xls_cp1250 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(morvik_xls_cp1250 PRIVATE morvik_warnings)
