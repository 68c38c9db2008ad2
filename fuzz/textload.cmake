# Measurement text: bytes as a text file to load and as clipboard text to paste, then the
# calculation over them. The app core only exists when the window is built.
if(TARGET morvik_core)
    morvik_fuzz_target(fuzz_textload ${CMAKE_CURRENT_LIST_DIR}/textload_fuzz.cpp
        LINK morvik_core REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/textload)
endif()
