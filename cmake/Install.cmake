# make install and make package.
#
# The program, its player GLIMMER.BIN and its help file GLIMMER.HLP go into
# one folder, PREFIX/lib/glimmer, because the program finds the other two
# beside its own file. PREFIX/bin/glimmer is a relative link to it: the program
# learns its folder from /proc/self/exe, which names the real file, so it is
# found however it is started. A desktop entry and an icon make it a program
# of the desktop's menu. Manual pages, the copyright file, the changelog and
# AppStream metadata make the Debian package one that lintian accepts.

set(GLIMMER_INSTALL_DIR lib/glimmer)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS glimmer RUNTIME DESTINATION ${GLIMMER_INSTALL_DIR})
# GLIMMER.BIN is copied byte for byte into every compiled screensaver: it is
# installed as a plain file, never stripped or rewritten on the way.
if(TARGET glimmer_player)
  install(PROGRAMS $<TARGET_FILE:glimmer_player> DESTINATION ${GLIMMER_INSTALL_DIR})
endif()
install(FILES ${GLIMMER_OUT}/GLIMMER.HLP DESTINATION ${GLIMMER_INSTALL_DIR})
# mate-screensaver runs only programs in its own hack folders, of which this
# is the one that Xfce's screensaver and XScreenSaver share: the launcher
# there runs a compiled screensaver for the theme that its --install writes.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/player/glimmer-scr DESTINATION libexec/xscreensaver)
# The Windows player, where it is built, is only ever copied, never run here:
# a plain file, not an executable (lintian rejects executables that are not ELF).
install(FILES ${GLIMMER_OUT}/GLIMMER.EXE DESTINATION ${GLIMMER_INSTALL_DIR} OPTIONAL)

install(CODE "
  set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${_bin}\")
  file(REMOVE \"\${_bin}/glimmer\")
  message(STATUS \"Installing: \${_bin}/glimmer -> ../${GLIMMER_INSTALL_DIR}/glimmer\")
  file(CREATE_LINK ../${GLIMMER_INSTALL_DIR}/glimmer \"\${_bin}/glimmer\" SYMBOLIC)
")

install(FILES ${_pkg}/glimmer.desktop DESTINATION share/applications)
install(FILES ${_pkg}/glimmer.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(_size 16 24 32 48 64 128 256)
  install(FILES ${_pkg}/icons/glimmer-${_size}.png
          DESTINATION share/icons/hicolor/${_size}x${_size}/apps
          RENAME glimmer.png)
endforeach()
install(FILES ${_pkg}/example.glimmer.glimmer.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${_pkg}/copyright DESTINATION share/doc/glimmer)

# Manual pages and the changelog go in compressed, as Debian wants them; -n
# leaves name and time out, so the same sources give the same bytes.
set(_gz ${CMAKE_BINARY_DIR}/packaging)
set(_gz_files)
foreach(_doc docs/man/glimmer.1 docs/man/glimmer-scr.6 packaging/changelog)
  get_filename_component(_name ${_doc} NAME)
  add_custom_command(OUTPUT ${_gz}/${_name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${_doc} ${_gz}/${_name}
    COMMAND gzip -9nf ${_gz}/${_name}
    DEPENDS ${CMAKE_SOURCE_DIR}/${_doc}
    VERBATIM)
  list(APPEND _gz_files ${_gz}/${_name}.gz)
endforeach()
add_custom_target(glimmer_docs ALL DEPENDS ${_gz_files})
install(FILES ${_gz}/glimmer.1.gz DESTINATION share/man/man1)
install(FILES ${_gz}/glimmer-scr.6.gz DESTINATION share/man/man6)
install(FILES ${_gz}/changelog.gz DESTINATION share/doc/glimmer)
# Only the package needs lintian's overrides: a component of its own, which a
# plain make install leaves out.
install(FILES ${_pkg}/lintian-overrides DESTINATION share/lintian/overrides
        RENAME glimmer COMPONENT debian EXCLUDE_FROM_ALL)

# The Debian package (make package: cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimmer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Glimmer")
# The project's own address; the same name signs packaging/changelog.
set(CPACK_PACKAGE_CONTACT "The Glimmer developers <developers@glimmer.example>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://glimmer.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make a picture screensaver from your own photos")
set(CPACK_PACKAGE_DESCRIPTION
  "Glimmer builds a screensaver from up to ten of your own BMP or JPEG\n\
pictures, with no programming: choose a folder and a name, bring the\n\
pictures in, pick a background colour and a Random or Float show, watch it\n\
full screen, and compile it into one standalone .SCR file that runs on its\n\
own, also under XScreenSaver.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program and the player need, found by
# dpkg-shlibdeps (package dpkg-dev). The dialogs are drawn in Times New Roman
# and a sans serif: Liberation's fonts stand in for them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")   # WebP and TIFF photos, read through Qt
# Only the program is stripped; GLIMMER.BIN goes in as it is (see above).
set(CPACK_STRIP_FILES ON)
# One package holding every component, the lintian overrides included.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
include(CPack)
