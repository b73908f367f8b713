# What `cmake --install` puts beside the programs, and the Debian package CPack makes of it
# (scripts/package.sh). The programs and the samples install from their own folders.
include(GNUInstallDirs)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/posbench)

# Manual pages (kept in step with --help by the man_pages_in_step test), compressed as Debian
# wants them.
set(man_gz "")
foreach(page posbench posbench-cli posbench-printer)
  set(gz ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page}.1 > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}.1 VERBATIM)
  list(APPEND man_gz ${gz})
endforeach()
set(changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${packaging}/debian/changelog > ${changelog_gz}
  DEPENDS ${packaging}/debian/changelog VERBATIM)
add_custom_target(posbench_install_docs ALL DEPENDS ${man_gz} ${changelog_gz})

install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/completion/posbench-cli ${packaging}/completion/posbench-printer
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
if(POSBENCH_GUI)
  install(FILES ${packaging}/posbench.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${packaging}/posbench.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${packaging}/70-posbench.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/ARCHITECTURE.md
              ${PROJECT_SOURCE_DIR}/docs/printer.md ${PROJECT_SOURCE_DIR}/docs/screenshot.png
              ${packaging}/debian/copyright ${changelog_gz}
        DESTINATION ${docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME posbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service bench for point-of-sale printers")
# The long description under the summary line, in lines under 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Drives up to six receipt and slip printers at once over serial, parallel,\n\
USB and TCP: runs sectioned script files, sends configuration commands,\n\
downloads firmware sector by sector, reads and reports the printer's\n\
configuration and decodes TIFF check images. posbench is the desktop\n\
program, posbench-cli the headless runner for automation and the\n\
production line, posbench-printer a simulated printer.")
set(POSBENCH_MAINTAINER "posbench maintainers <posbench@example.org>"
    CACHE STRING "The package's Maintainer field")
set(CPACK_PACKAGE_CONTACT ${POSBENCH_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
