# The settings file: bytes as a Settings.ini, read, written and read again. The app core only
# exists when the window is built.
if(TARGET morvik_core)
    morvik_fuzz_target(fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/ini_fuzz.cpp
        LINK morvik_core REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/ini)
endif()
