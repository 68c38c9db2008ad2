# Landmark files of digitizing programs: every reader on the bytes, then the load into a
# workspace through core for the first format that reads them.
if(TARGET morvik_core)
    morvik_fuzz_target(fuzz_landmarks ${CMAKE_CURRENT_LIST_DIR}/landmarks_fuzz.cpp
        LINK morvik_core morvik_landmarks
        REPLAY ${PROJECT_SOURCE_DIR}/tests/landmarks/fixtures ${CMAKE_CURRENT_LIST_DIR}/seeds/landmarks)
endif()
