find_package(ZLIB REQUIRED)
# The zip layer with its XML reader, and the two package readers. The readers' targets also
# take bare XML, which they pack as the part a fuzzer would hardly reach through deflate.
morvik_fuzz_target(fuzz_zip ${CMAKE_CURRENT_LIST_DIR}/zip_fuzz.cpp
    LINK morvik_zip REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/zip WITH_CORPUS CORPUS xlsx)
morvik_fuzz_target(fuzz_xlsx ${CMAKE_CURRENT_LIST_DIR}/xlsx_fuzz.cpp
    LINK morvik_xlsx morvik_xls ZLIB::ZLIB REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/xlsx
    WITH_CORPUS CORPUS xlsx)
morvik_fuzz_target(fuzz_ods ${CMAKE_CURRENT_LIST_DIR}/ods_fuzz.cpp
    LINK morvik_ods morvik_xls ZLIB::ZLIB REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/ods
    WITH_CORPUS CORPUS xlsx)
if(TARGET morvik_core)
    morvik_fuzz_target(fuzz_csv ${CMAKE_CURRENT_LIST_DIR}/csv_fuzz.cpp
        LINK morvik_core REPLAY ${CMAKE_CURRENT_LIST_DIR}/regressions/csv)
endif()
