# Manual pages, icons and the Debian package.

# One manual page per program, made by help2man from the program's own
# --help and --version, so the page always says what the program says.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP)
  # program|summary|help2man include file with the sections --help has no room for
  set(viewer_manual ${PROJECT_SOURCE_DIR}/viewer/ui/meshscope.h2m)
  set(man_programs
    "meshscope|live surface viewer for a serial measuring device|${viewer_manual}"
    "meshscope-com1|live surface viewer for a serial measuring device on COM1|${viewer_manual}"
    "Vorn|demonstration scenes of the VornCtl OpenGL viewport|"
    "meshsim|simulates meshscope's measuring device on a pseudo-terminal|"
    "meshgrid|turns a captured serial stream or a data file into meshscope's grid|")
  set(man_pages)
  foreach(entry IN LISTS man_programs)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 summary)
    list(GET entry 2 include)
    set(include_option)
    if(include)
      set(include_option "--include=${include}")
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    # Run by name from its own directory so the usage line names the program,
    # not the build path; no display is needed for --help and --version. The
    # page is compressed as Debian's policy asks; man reads it either way.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
              "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
              ${HELP2MAN} --no-info --section=1 "--name=${summary}" ${include_option} --output=${page} ${program}
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${include}
      COMMENT "Manual page ${program}.1 from ${program} --help"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man or gzip not found: no manual pages (scripts/setup installs help2man)")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/viewer/ui/meshscope.svg ${PROJECT_SOURCE_DIR}/examples/vorn.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Something to open before a device is plugged in: a minute of meshsim's wave
# as meshscope --record keeps it, and a data file.
install(FILES ${PROJECT_SOURCE_DIR}/data/wave-capture.txt ${PROJECT_SOURCE_DIR}/data/datafile.dat
        DESTINATION ${CMAKE_INSTALL_DATADIR}/meshscope/examples)

# The package's copyright file and changelog, where Debian's policy puts them;
# the changelog compressed as the manual pages are.
set(debian_docs ${CMAKE_INSTALL_DATADIR}/doc/meshscope)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${debian_docs})
if(GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog
    COMMAND ${GZIP} -9nf ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    COMMENT "Debian changelog"
    VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${debian_docs})
endif()

# cpack -G DEB: the libraries the programs link are found by dpkg-shlibdeps;
# the fonts the text members ask for and Mesa's drivers are loaded at run time,
# so they are named here.
set(CPACK_PACKAGE_NAME meshscope)
set(CPACK_PACKAGE_VENDOR "meshscope maintainers")
set(CPACK_PACKAGE_CONTACT "Seed 5efa3b30 maintainers <maintainers@users.noreply.c-seed-5efa3b30.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live 3-D surface viewer for a serial measuring device")
set(CPACK_PACKAGE_DESCRIPTION
  "meshscope reads height samples from a serial line, a network source (TCP,
UDP or an MQTT broker) or a data file, interpolates them over a grid and draws
them as a lit 3-D surface. Vorn shows four demonstration scenes of the same
OpenGL viewport; meshsim plays the device and meshgrid grids a recorded stream
without a window.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libgl1-mesa-dri")
# A broker for MQTT sources and meshsim --publish; the client library, libmosquitto1,
# is one of the linked libraries dpkg-shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mosquitto, mosquitto-clients")
include(CPack)
