# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package CPack makes of it.
include(GNUInstallDirs)

install(TARGETS m797-log RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(M797_GUI)
  install(TARGETS m797-tester RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/m797-tester.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The recordings' file type, so that a double click reviews one.
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/m797-tester-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME m797-tester.xml)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/m797-tester.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/m797-tester-48.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME m797-tester.png)
endif()

# Manual pages and the changelog carry the version and are compressed, as
# Debian's policy asks.
set(m797_pages m797-log)
if(M797_GUI)
  list(APPEND m797_pages m797-tester)
endif()
# The English pages, and the Russian ones beside them (man -L ru).
foreach(page ${m797_pages})
  foreach(lang en ru)
    if(lang STREQUAL "en")
      set(source ${CMAKE_SOURCE_DIR}/packaging/${page}.1)
      set(out ${CMAKE_BINARY_DIR}/man/${page}.1)
      set(dest ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      set(source ${CMAKE_SOURCE_DIR}/packaging/${lang}/${page}.1)
      set(out ${CMAKE_BINARY_DIR}/man/${lang}/${page}.1)
      set(dest ${CMAKE_INSTALL_MANDIR}/${lang}/man1)
    endif()
    file(READ ${source} text)
    string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
    file(WRITE ${out} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    add_custom_command(OUTPUT ${out}.gz COMMAND gzip -9nkf ${out} DEPENDS ${out} VERBATIM)
    list(APPEND m797_docs ${out}.gz)
    install(FILES ${out}.gz DESTINATION ${dest})
  endforeach()
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz COMMAND gzip -9nkf ${changelog} DEPENDS ${changelog} VERBATIM)
# The manual: one HTML page made from the Russian manual pages, its one source.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(m797_manual ${CMAKE_BINARY_DIR}/doc/manual-ru.html)
add_custom_command(
  OUTPUT ${m797_manual}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/man2html.py "Руководство: M7.9.7 тестер и регистратор"
          ${PROJECT_VERSION} ${m797_manual} ${CMAKE_SOURCE_DIR}/packaging/ru/m797-tester.1
          ${CMAKE_SOURCE_DIR}/packaging/ru/m797-log.1
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/man2html.py ${CMAKE_SOURCE_DIR}/packaging/ru/m797-tester.1
          ${CMAKE_SOURCE_DIR}/packaging/ru/m797-log.1
  VERBATIM)
add_custom_target(m797_docs ALL DEPENDS ${m797_docs} ${changelog}.gz ${m797_manual})
set(m797_docdir ${CMAKE_INSTALL_DATADIR}/doc/m797-tester)
# The machine-readable copyright file (DEP-5), with the maintainer's address.
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${changelog}.gz ${CMAKE_SOURCE_DIR}/docs/report-schema.json
        DESTINATION ${m797_docdir})
# The manual the tester opens is no mere documentation: it goes with the
# program's own data, which a system that leaves out /usr/share/doc keeps.
install(FILES ${m797_manual} DESTINATION ${CMAKE_INSTALL_DATADIR}/m797-tester)

set(CPACK_PACKAGE_NAME m797-tester)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${M797_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A technician connects a K-line adapter between the PC and the car's
diagnostic socket and gets live engine data as trend charts, flags, the
ECU's identification, its stored error codes, actuator tests and ECU reset
(m797-tester), or a comma-separated log of every poll pass (m797-log). Both
record the wire and replay a recorded drive.")
# Besides the libraries (Qt's X11 platform plugin and its OpenGL integration
# come with libqt6gui6): the metric-compatible Arial the panels' fonts ask
# for, and Qt's Russian texts. Recommended: the OpenGL drivers, and
# xdg-open, which opens the manual and a written report in the browser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
