# make install, and the Debian package's files (debian/rules installs through
# these rules too).
#
# The program, its player GLIMMER.BIN and its help file GLIMMER.HLP go into
# one folder, PREFIX/lib/glimmer, because the program finds the other two
# beside its own file. PREFIX/bin/glimmer is a relative link to it: the program
# learns its folder from /proc/self/exe, which names the real file, so it is
# found however it is started. A desktop entry and an icon make it a program
# of the desktop's menu. Manual pages, the copyright file, the changelog and
# AppStream metadata are what a user and a software centre read.

set(GLIMMER_INSTALL_DIR lib/glimmer)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
set(_debian ${CMAKE_SOURCE_DIR}/debian)
# debhelper installs the copyright file and the changelog itself, the Debian way.
option(GLIMMER_INSTALL_DOCS "Install the copyright file and the changelog" ON)

install(TARGETS glimmer RUNTIME DESTINATION ${GLIMMER_INSTALL_DIR})
# GLIMMER.BIN is copied byte for byte into every compiled screensaver: make
# install copies it as it is. (The Debian package's dh_strip drops its notes
# and comment: the player finds its own end from its headers, which stay
# true.)
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
install(FILES ${_debian}/example.glimmer.glimmer.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/glimmer)

# Manual pages and the changelog go in compressed, as Debian wants them; -n
# leaves name and time out, so the same sources give the same bytes.
set(_gz ${CMAKE_BINARY_DIR}/packaging)
set(_gz_files)
foreach(_doc docs/man/glimmer.1 docs/man/glimmer-scr.6 debian/changelog)
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
if(GLIMMER_INSTALL_DOCS)
  install(FILES ${_debian}/copyright ${_gz}/changelog.gz DESTINATION share/doc/glimmer)
endif()
