# The settings file: bytes as a Settings.ini, read, written and read again. The app core only
# exists when the window is built.
if(TARGET morvik_app_core)
    morvik_fuzz_target(fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/ini_fuzz.cpp)
    target_link_libraries(fuzz_ini PRIVATE morvik_app_core)

    if(MORVIK_BUILD_TESTS AND NOT MORVIK_FUZZ)
        add_test(NAME fuzz_ini_replay COMMAND fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/regressions/ini)
    endif()
endif()
