# Installation in the layout of a Debian desktop program, and the Debian
# package built from it by CPack ("cpack -G DEB" in the build folder). The
# package comes from the build with the window (ROWMOVER_BUILD_GUI).
#
#   bin/rowmover
#   share/rowmover/            language files, Languages.ini, License.txt, ReadMe.txt
#   share/applications/        desktop entry
#   share/metainfo/            AppStream description
#   share/icons/hicolor/scalable/apps/
#   share/man/man1/rowmover.1.gz
#   share/bash-completion/completions/rowmover
#   share/doc/rowmover/        copyright, changelog.gz

set(ROWMOVER_APP_ID com.quenstead.rowmover)
# Debian names the documentation folder after the package, in lower case.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/rowmover)
set(desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
set(generated_dir ${CMAKE_BINARY_DIR}/install-files)

install(FILES ${PROJECT_SOURCE_DIR}/resources/Languages.ini ${PROJECT_SOURCE_DIR}/resources/German.lng
              ${PROJECT_SOURCE_DIR}/resources/License.txt ${PROJECT_SOURCE_DIR}/resources/ReadMe.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/rowmover)
if(ROWMOVER_BUILD_GUI)
  install(FILES ${desktop_dir}/${ROWMOVER_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/src/ui/artwork/program.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${ROWMOVER_APP_ID}.svg)
endif()
install(FILES ${desktop_dir}/rowmover.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME rowmover)

# The version in the metainfo and the man page is the project's.
configure_file(${desktop_dir}/${ROWMOVER_APP_ID}.metainfo.xml ${generated_dir}/${ROWMOVER_APP_ID}.metainfo.xml @ONLY)
configure_file(${desktop_dir}/rowmover.1 ${generated_dir}/rowmover.1 @ONLY)
if(ROWMOVER_BUILD_GUI)
  install(FILES ${generated_dir}/${ROWMOVER_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Debian keeps manual pages and changelogs compressed, without a time stamp
# in the gzip header so that the package builds the same each time.
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${generated_dir}/rowmover.1.gz
                   COMMAND ${GZIP_PROGRAM} -9 -n -c ${generated_dir}/rowmover.1 > ${generated_dir}/rowmover.1.gz
                   DEPENDS ${generated_dir}/rowmover.1 VERBATIM)
file(WRITE ${generated_dir}/changelog.in
     "rowmover (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * ${ROWMOVER_VERSION_TEXT}.\n  * The changes are listed in /usr/share/rowmover/ReadMe.txt.\n\n"
     " -- Rowmover contributors <rowmover@quenstead.com>  Wed, 09 Jan 2019 12:00:00 +0100\n")
configure_file(${generated_dir}/changelog.in ${generated_dir}/changelog COPYONLY)
add_custom_command(OUTPUT ${generated_dir}/changelog.gz
                   COMMAND ${GZIP_PROGRAM} -9 -n -c ${generated_dir}/changelog > ${generated_dir}/changelog.gz
                   DEPENDS ${generated_dir}/changelog VERBATIM)
add_custom_target(rowmover_install_files ALL DEPENDS ${generated_dir}/rowmover.1.gz ${generated_dir}/changelog.gz)
install(FILES ${generated_dir}/rowmover.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated_dir}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${desktop_dir}/copyright DESTINATION ${doc_dir})

# The package carries the window; a build without it installs the same
# files but the desktop's, and makes no package.
if(NOT ROWMOVER_BUILD_GUI)
  return()
endif()

set(CPACK_PACKAGE_NAME rowmover)
set(CPACK_PACKAGE_VENDOR "Quenstead")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Rowmover contributors <rowmover@quenstead.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies table rows between Firebird databases")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quenstead.com/rowmover/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the program links come from dpkg-shlibdeps. The embedded
# engine (libEngine12.so) and Qt's platform plugins are loaded at run time,
# where dpkg-shlibdeps cannot see them, and are named here; the server
# daemon is not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core, qt6-qpa-plugins")
# CPack puts the summary first and indents every line of this.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Rowmover copies the rows of chosen tables from one Firebird 3 database into
the same-named tables of another, for example from the database of an old
program version into the empty database of a new one. A plain file path is
opened with the embedded engine, host:path goes through a Firebird server.

The destination's triggers are switched off while the rows go in and its
generators are set afterwards; a copy of the destination from before the
run is kept and every statement is logged. A check tells beforehand what a
copy would do, a comparison reads both databases row by row, and both run
unattended from the command line as well as in the window.")
include(CPack)
