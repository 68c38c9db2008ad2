# Formula tokens and their text.
add_library(morvik_xls_formula STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Lists.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtgParser.cpp
)
target_include_directories(morvik_xls_formula PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(morvik_xls_formula
    PUBLIC morvik_xls_model morvik_xls_cp1250
    PRIVATE morvik_warnings
)

# Under libFuzzer the parser itself must carry coverage, not only the fuzz entry point.
if(MORVIK_FUZZ)
    target_compile_options(morvik_xls_formula PRIVATE -fsanitize=fuzzer-no-link)
endif()
