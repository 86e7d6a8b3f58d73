# What `cmake --install` puts where, and the Debian package made of it
# (`cpack -G DEB`, driven by scripts/package):
#   /usr/bin/velmaro
#   /usr/lib/velmaro/Melvanto.wfx       velmaro finds it at ../lib/velmaro
#   /usr/share/man/man1/velmaro.1.gz
# The plug-in is not a shared library for the linker, so it lives in a
# folder of its own rather than the multiarch library folder.

install(TARGETS velmaro RUNTIME DESTINATION bin)
install(TARGETS Melvanto LIBRARY DESTINATION lib/velmaro)

find_program(GZIP_PROGRAM gzip REQUIRED)
set(velmaro_manual ${PROJECT_BINARY_DIR}/velmaro.1.gz)
# -n leaves the time stamp out, so the same page gives the same bytes.
add_custom_command(OUTPUT ${velmaro_manual}
                   COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_SOURCE_DIR}/docs/velmaro.1 > ${velmaro_manual}
                   DEPENDS ${PROJECT_SOURCE_DIR}/docs/velmaro.1
                   VERBATIM)
add_custom_target(velmaro_manual ALL DEPENDS ${velmaro_manual})
install(FILES ${velmaro_manual} DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmaro maintainers <maintainers@users.noreply.c-seed-c32cd6bc.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music-library plug-in for two-panel file managers")
# One text: the lines of a list would be joined with semicolons.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Melvanto.wfx keeps a music library in SQLite and shows it as a virtual\n"
       "folder tree (titles, albums, artists, genres, favourites) in a file\n"
       "manager's panel, with columns for its tags. velmaro loads the plug-in from\n"
       "the command line and registers it in Double Commander.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# velmaro_VERSION_ARCH.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries both programs link are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open opens a track with the desktop's default application (Enter).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "doublecmd-gtk | doublecmd-qt")
set(CPACK_STRIP_FILES ON)
include(CPack)
