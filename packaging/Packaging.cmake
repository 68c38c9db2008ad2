# Installation in the GNU layout and the Debian package (cpack -G DEB). Configure with
# -DCMAKE_INSTALL_PREFIX=/usr (the "package" preset does) so that the programs find the
# demonstration settings where the package puts them.
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)

if(TARGET morvik)
    install(TARGETS morvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# Written on another branch; the package takes it when it is there.
if(TARGET morvik-batch)
    install(TARGETS morvik-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Texts that carry the version or the data folder are configured into the build tree; man
# pages and the changelog go in compressed, as Debian wants them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(_compressed)
foreach(_page morvik morvik-batch changelog)
    if(_page STREQUAL "morvik-batch" AND NOT TARGET morvik-batch)
        continue()
    endif()
    set(_src ${_pkg}/${_page})
    if(NOT _page STREQUAL "changelog")
        set(_src ${_src}.1)
        set(_out ${_gen}/${_page}.1)
    else()
        set(_out ${_gen}/changelog)
    endif()
    configure_file(${_src} ${_out} @ONLY)
    add_custom_command(OUTPUT ${_out}.gz
        COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${_out} > ${_out}.gz
        DEPENDS ${_out}
        COMMENT "Compressing ${_page}")
    list(APPEND _compressed ${_out}.gz)
endforeach()
add_custom_target(morvik_package_docs ALL DEPENDS ${_compressed})
configure_file(${_pkg}/morvik.metainfo.xml ${_gen}/morvik.metainfo.xml @ONLY)

if(TARGET morvik)
    install(FILES ${_gen}/morvik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${_pkg}/morvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${_gen}/morvik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${_pkg}/icons/morvik.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(_size 16 24 32 48 64 128 256)
        install(FILES ${_pkg}/icons/morvik-${_size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
                RENAME morvik.png)
    endforeach()
endif()
if(TARGET morvik-batch)
    install(FILES ${_gen}/morvik-batch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/Settings.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/morvik)
install(FILES ${PROJECT_SOURCE_DIR}/examples/skull.txt ${PROJECT_SOURCE_DIR}/examples/skull.xls
        DESTINATION ${CMAKE_INSTALL_DATADIR}/morvik/samples)
# Empty files to fill in; the help page names them at this place (core::TemplatePath).
install(FILES ${PROJECT_SOURCE_DIR}/examples/template.xlsx ${PROJECT_SOURCE_DIR}/examples/template.csv
        DESTINATION ${CMAKE_INSTALL_DATADIR}/morvik)
# Debian looks for them under the package's name, not the project's.
install(FILES ${_pkg}/copyright ${_gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvik)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The MORVIK developers")
set(CPACK_PACKAGE_CONTACT "The MORVIK developers <morvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sex estimation from cranial landmarks")
set(CPACK_PACKAGE_DESCRIPTION
    "MORVIK estimates the sex of an individual from a human skull by seven\n"
    "discriminant equations. From the 3D coordinates of 22 cranial landmarks\n"
    "and two clouds of surface points, or from 17 dimensions measured directly,\n"
    "it derives the dimensions, scores the equations and gives a verdict by\n"
    "majority vote.\n"
    ".\n"
    "Measurements come from workbooks (Excel 97-2003 .xls, Excel .xlsx and\n"
    ".xlsm, OpenDocument .ods), tab-separated .txt and comma- or\n"
    "semicolon-separated .csv text files, the clipboard or typing. Empty\n"
    "templates to fill in (template.xlsx, template.csv) come with the package.\n"
    "Files open from the window, by drag and drop or as 'morvik FILE'. F1\n"
    "shows the help page.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # morvik_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the libraries actually linked
# The case report embeds DejaVu, which no linked library brings along.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
