# make install and make package.
#
# The program, its player GLIMMER.BIN and its help file GLIMMER.HLP go into
# one folder, PREFIX/lib/glimmer, because the program finds the other two
# beside its own file. PREFIX/bin/glimmer is a relative link to it: the program
# learns its folder from /proc/self/exe, which names the real file, so it is
# found however it is started. A desktop entry and an icon make it a program
# of the desktop's menu.

set(GLIMMER_INSTALL_DIR lib/glimmer)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS glimmer RUNTIME DESTINATION ${GLIMMER_INSTALL_DIR})
# GLIMMER.BIN is copied byte for byte into every compiled screensaver: it is
# installed as a plain file, never stripped or rewritten on the way.
if(TARGET glimmer_player)
  install(PROGRAMS $<TARGET_FILE:glimmer_player> DESTINATION ${GLIMMER_INSTALL_DIR})
endif()
install(FILES ${GLIMMER_OUT}/GLIMMER.HLP DESTINATION ${GLIMMER_INSTALL_DIR})

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
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/glimmer)

# The Debian package (make package: cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimmer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Glimmer")
set(CPACK_PACKAGE_CONTACT "Glimmer developers <glimmer@localhost>")
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
# Only the program is stripped; GLIMMER.BIN goes in as it is (see above).
set(CPACK_STRIP_FILES ON)
include(CPack)
