# What `cmake --install` puts where, and the packages CPack makes of it:
# `cpack -G DEB` on Linux gives orbitpick_<version>_amd64.deb, `cpack` in
# the MinGW-w64 build gives orbitpick-<version>-windows-x86_64.zip. Every
# version string comes from project(... VERSION ...).

set(ORBITPICK_MAINTAINER
    "the orbitpick authors <orbitpick@users.noreply.example.org>")

# The manual page carries the version.
configure_file(man/orbitpick.1.in ${PROJECT_BINARY_DIR}/orbitpick.1 @ONLY)
file(GLOB orbitpick_reports ${PROJECT_SOURCE_DIR}/docs/*.md)
set(orbitpick_examples examples/observing_list.csv examples/MPCORB.DAT
    examples/ssystem_minor.ini)

if(WIN32)
  # One folder to unpack next to Stellarium: the program, its papers and
  # the example at the top, the manual as text since Windows has no man.
  find_program(GROFF groff REQUIRED)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/orbitpick.txt
    COMMAND ${CMAKE_COMMAND} -DGROFF=${GROFF}
            -DIN=${PROJECT_BINARY_DIR}/orbitpick.1
            -DOUT=${PROJECT_BINARY_DIR}/orbitpick.txt
            -P ${PROJECT_SOURCE_DIR}/packaging/man_text.cmake
    DEPENDS ${PROJECT_BINARY_DIR}/orbitpick.1
            ${PROJECT_SOURCE_DIR}/packaging/man_text.cmake)
  add_custom_target(orbitpick_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/orbitpick.txt)
  install(TARGETS orbitpick RUNTIME DESTINATION .)
  install(FILES README.md CHANGELOG.md ${PROJECT_BINARY_DIR}/orbitpick.txt
          DESTINATION .)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${orbitpick_examples} DESTINATION examples)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME
      "orbitpick-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # Debian wants the manual page and the changelog compressed with gzip -9n
  # (no name, no time stamp: the same bytes from every build).
  find_program(GZIP gzip REQUIRED)
  set(doc_build ${PROJECT_BINARY_DIR}/doc)
  add_custom_command(
    OUTPUT ${doc_build}/orbitpick.1.gz ${doc_build}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_build}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/CHANGELOG.md
            -DOUT=${doc_build}/changelog -DMAINTAINER=${ORBITPICK_MAINTAINER}
            -P ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.cmake
    COMMAND ${GZIP} -9nf ${doc_build}/changelog
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/orbitpick.1 ${doc_build}
    COMMAND ${GZIP} -9nf ${doc_build}/orbitpick.1
    DEPENDS ${PROJECT_BINARY_DIR}/orbitpick.1 ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.cmake
    VERBATIM)
  add_custom_target(orbitpick_docs ALL
                    DEPENDS ${doc_build}/orbitpick.1.gz ${doc_build}/changelog.gz)

  # The machine-readable copyright file holds the licence's text, indented,
  # its blank lines as " .".
  file(STRINGS LICENSE license_lines)
  set(ORBITPICK_LICENSE_TEXT "")
  set(past_copyright FALSE)
  foreach(line IN LISTS license_lines)
    if(past_copyright)
      if(line STREQUAL "")
        set(line ".")
      endif()
      string(APPEND ORBITPICK_LICENSE_TEXT " ${line}\n")
    elseif(line MATCHES "^Copyright")
      set(past_copyright TRUE)
    endif()
  endforeach()
  string(REGEX REPLACE "^ \\.\n" "" ORBITPICK_LICENSE_TEXT "${ORBITPICK_LICENSE_TEXT}")
  string(REGEX REPLACE "\n$" "" ORBITPICK_LICENSE_TEXT "${ORBITPICK_LICENSE_TEXT}")
  configure_file(packaging/copyright.in ${doc_build}/copyright @ONLY)

  install(TARGETS orbitpick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${doc_build}/orbitpick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md CHANGELOG.md ${orbitpick_reports}
          ${doc_build}/changelog.gz ${doc_build}/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${orbitpick_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES packaging/orbitpick.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME orbitpick)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
endif()

set(CPACK_PACKAGE_NAME orbitpick)
set(CPACK_PACKAGE_VENDOR "the orbitpick authors")
set(CPACK_PACKAGE_CONTACT "${ORBITPICK_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "put the orbits of an observing list into Stellarium")
# Debian shows the description as it stands: lines under 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "orbitpick reads an observing list exported as CSV by a planning\n"
  "program, finds its objects in the Minor Planet Center's orbit catalogue\n"
  "MPCORB.DAT (plain or gzip-compressed) or the comet file CometEls.txt,\n"
  "and writes their orbits as sections of Stellarium's minor-body file\n"
  "ssystem_minor.ini, replacing the file or merging into it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
