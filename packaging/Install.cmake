# Install rules and the Debian package (scripts/package): the four programs,
# the desktop menu entry and its icon, a manual page per program made from its
# own --help (so the two never drift), the README and the copyright notice.
include(GNUInstallDirs)
# The documentation folder is named after the package, not the project.
set(QS_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quellscope)

install(TARGETS quellscope quellscope-cli quellscope-monitor-sim quellscope-recgen
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quellscope.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${QS_DOC_DIR})

# The icon, drawn from the splash picture at the icon theme's sizes.
set(QS_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
add_custom_command(OUTPUT ${QS_ICON_DIR}/256x256/apps/quellscope.png
                   COMMAND quellscope-icon ${QS_ICON_DIR}
                   DEPENDS quellscope-icon
                   COMMENT "Drawing the program's icon")
add_custom_target(quellscope-icons ALL DEPENDS ${QS_ICON_DIR}/256x256/apps/quellscope.png)
install(DIRECTORY ${QS_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Manual pages from --help (help2man), compressed as Debian wants them, and
# the package's changelog.
find_program(HELP2MAN_PROGRAM help2man)
find_program(GZIP_PROGRAM gzip)
if(HELP2MAN_PROGRAM AND GZIP_PROGRAM)
  set(QS_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  set(pages)
  foreach(pair
          "quellscope|EEG analysis workstation for depth-of-anaesthesia monitoring"
          "quellscope-cli|the EEG workstation's analysis without its windows"
          "quellscope-monitor-sim|a simulated depth-of-anaesthesia EEG monitor on a pseudo-terminal"
          "quellscope-recgen|packet record files of synthetic EEG with known content")
    string(REPLACE "|" ";" parts "${pair}")
    list(GET parts 0 program)
    list(GET parts 1 summary)
    add_custom_command(OUTPUT ${QS_MAN_DIR}/${program}.1.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${QS_MAN_DIR}
                       COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                               ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr
                               --version-string=${PROJECT_VERSION} --name=${summary}
                               --output=${QS_MAN_DIR}/${program}.1 $<TARGET_FILE:${program}>
                       COMMAND ${GZIP_PROGRAM} -9nf ${QS_MAN_DIR}/${program}.1
                       DEPENDS ${program}
                       COMMENT "Manual page of ${program} from its --help"
                       VERBATIM)
    list(APPEND pages ${QS_MAN_DIR}/${program}.1.gz)
  endforeach()
  add_custom_target(quellscope-manpages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  string(TIMESTAMP QS_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  # A native package (the version has no Debian revision): changelog.gz.
  file(WRITE ${CMAKE_BINARY_DIR}/changelog
       "quellscope (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
       "  * Release ${PROJECT_VERSION}: see /usr/share/doc/quellscope/README.md.\n\n"
       " -- Quellscope maintainers <maintainers@users.noreply.c-seed-01794fe5.example>  ${QS_CHANGELOG_DATE}\n")
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                     COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/changelog
                     DEPENDS ${CMAKE_BINARY_DIR}/changelog)
  add_custom_target(quellscope-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${QS_DOC_DIR})
else()
  message(STATUS "help2man or gzip not found: no manual pages (scripts/setup installs help2man)")
endif()

# The Debian package: cpack -G DEB in the build folder (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quellscope developers")
set(CPACK_PACKAGE_CONTACT "Quellscope maintainers <maintainers@users.noreply.c-seed-01794fe5.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "EEG analysis workstation for depth-of-anaesthesia monitoring")
# The synopsis is the summary above; this is the extended description only.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Quellscope sits beside a bedside depth-of-anaesthesia EEG monitor, talks\n"
       "to it over a serial line, records its traffic, replays recordings and\n"
       "computes its own EEG indices every 10 seconds: power spectrum, spectral\n"
       "edge frequency, burst suppression, beta ratio, bispectrum and bicoherence\n"
       "maps and signal quality, with live graphs, a trend, a log and comments.\n"
       "Command-line programs replay and analyse cases without a display,\n"
       "simulate a monitor and generate synthetic recordings.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
