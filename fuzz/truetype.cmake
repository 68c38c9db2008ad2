# The font reader of the PDF writer, seeded with the system's DejaVu fonts where they are.
if(TARGET morvik_pdf)
    set(truetype_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/truetype)
    if(EXISTS /usr/share/fonts/truetype/dejavu)
        list(APPEND truetype_seeds /usr/share/fonts/truetype/dejavu)
    endif()
    morvik_fuzz_target(fuzz_truetype ${CMAKE_CURRENT_LIST_DIR}/truetype_fuzz.cpp
        LINK morvik_pdf REPLAY ${truetype_seeds})
endif()
