# Installation and packages.
#
# Linux and macOS: `cmake --install` puts zelvo in bin/, the code conversion file in share/zelvo/
# (zelvo looks there, relative to itself, when no CodeChg.txt lies beside it), the manual page in
# share/man/man1/ and the bash completion in share/bash-completion/completions/. CPack makes a
# Debian package of it, its dependencies computed by dpkg-shlibdeps.
#
# Windows (the MinGW cross build): the two programs, CodeChg.txt beside them and a short read-me in
# one folder; CPack makes a zip of it.
include(GNUInstallDirs)

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zelvo Explorer")
set(CPACK_PACKAGE_CONTACT "Zelvo Explorer developers <zelvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "List, export, import and check files of Zelvo DOS disk images")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

if(WIN32)
  if(TARGET ZelvoExplorer)
    install(TARGETS ZelvoExplorer RUNTIME DESTINATION .)
  endif()
  if(TARGET zelvo)
    install(TARGETS zelvo RUNTIME DESTINATION .)
  endif()
  install(FILES ${ZELVO_CODE_FILE} DESTINATION .)
  # Read with Notepad: CR LF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt.in
                 ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME ZelvoExplorer)
  set(CPACK_PACKAGE_FILE_NAME ZelvoExplorer-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  if(TARGET zelvo)
    install(TARGETS zelvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(FILES ${ZELVO_CODE_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/zelvo)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/zelvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/completions/zelvo
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME zelvo)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dpkg-shlibdeps (Debian: dpkg-dev)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Lists, exports, imports, deletes, renames and undeletes the files of Zelvo DOS\n\
floppy-disk images (.2d, .d20, .d88, .d77, .imd, .hfe), edits their attributes, checks\n\
and identifies volumes, reads and patches sectors, and creates, converts and joins\n\
images. Every change is journalled: an interrupted write never damages the image.")
endif()

include(CPack)
