# `cmake --install` of the native tools with their manual pages and documents, and the Debian
# package of them (`cpack` in a native Release build; scripts/package.sh builds it).
if(WIN32 OR TESSORY_FUZZ)
  return()
endif()
include(GNUInstallDirs)
# Debian keeps a package's documents under its own name.
set(tessory_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessory)

install(TARGETS tessory corvel-recordwriter templatec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and the changelog carry the version and are compressed the Debian way:
# gzip -n stores no name and no time, so the same sources give the same bytes.
set(compressed)
foreach(page tessory corvel-recordwriter templatec)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/release/${page}.1 @ONLY)
  list(APPEND compressed ${CMAKE_BINARY_DIR}/release/${page}.1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/docs/debian/changelog.in ${CMAKE_BINARY_DIR}/release/changelog @ONLY)
list(APPEND compressed ${CMAKE_BINARY_DIR}/release/changelog)
set(compressed_outputs)
foreach(file ${compressed})
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file} VERBATIM)
  list(APPEND compressed_outputs ${file}.gz)
endforeach()
add_custom_target(release_files ALL DEPENDS ${compressed_outputs})

foreach(page tessory corvel-recordwriter templatec)
  install(FILES ${CMAKE_BINARY_DIR}/release/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/release/changelog.gz docs/debian/copyright README.md docs/integrators.md
              docs/record-format.md
        DESTINATION ${tessory_docdir})
install(FILES uninstaller/template/default/progress.tpl.txt uninstaller/template/default/banner.bmp
              uninstaller/template/default/tick.bmp
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tessory/default-template)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ombrel)
set(CPACK_PACKAGE_CONTACT "Ombrel <support@ombrel.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack indents the lines after the summary itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "printable listings of folders, and uninstaller record tools
tessory writes a listing of a folder tree as an HTML document, CSV rows or
JSON, with the filters, columns and styles of the Tessory settings, and
reports what changed since an earlier listing.
.
corvel-recordwriter and templatec make the uninstallation record and the
window template that CorvelUninstaller.exe carries, and show the record of
an existing uninstaller.")
include(CPack)
