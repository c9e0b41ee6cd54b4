# `make package` (CPack's DEB generator): tetrapan_<version>_<arch>.deb from the install rules in data/. The
# package's dependencies are what dpkg-shlibdeps finds the installed program links, so they follow the
# libraries of the machine that builds it, not a list kept by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tetrapan)
set(CPACK_PACKAGE_VENDOR "Tetrapan developers")
set(CPACK_PACKAGE_CONTACT "Tetrapan developers <developers@tetrapan.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Watch up to four movies side by side")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins, which no link shows: the buttons' SVG icons (without it they show nothing), and the
# Wayland platform (without it Qt falls back on X through XWayland)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# the package system wants each control file readable by all and written by root alone
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# the long description below the summary, which CPack puts first and indents as the control file wants
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tetrapan shows up to four movies side by side in one window and plays, stops,
synchronises and skips them together or one at a time. It is made for
reviewing several videos at once: camera angles, encodes, dashcams,
lectures, sports. Movies are kept in a library of playlists and folders;
each playlist gives each of the four panes its movie.")

# A Debian package names its licence, carries its change log and a manual page, the last two compressed as
# the package tools do it (best compression, no name or time stamp in the header).
include(GNUInstallDirs)
function(tetrapan_gzip source output)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
set(package_dir ${CMAKE_SOURCE_DIR}/data/package)
# a release gets its entry at the top of the change log, in the package tools' form
file(STRINGS ${package_dir}/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^tetrapan \\(${PROJECT_VERSION}\\) ")
    message(WARNING "data/package/changelog does not begin with an entry for version ${PROJECT_VERSION}")
endif()
tetrapan_gzip(${package_dir}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
tetrapan_gzip(${package_dir}/tetrapan.1 ${CMAKE_CURRENT_BINARY_DIR}/tetrapan.1.gz)
install(FILES ${package_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tetrapan.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(CPack)
