# GLIMMER.EXE, the Windows player, beside GLIMMER.BIN: cross-compiled with
# Debian's mingw-w64 in a build of its own (player/win32, configured with
# cmake/mingw-w64-x86_64.cmake), driven from this one, so that make and
# make test build it with everything else. Without the cross compiler the
# program is built without it, and a compile writes no Windows screensaver.
option(GLIMMER_WINDOWS "Build the Windows player GLIMMER.EXE (needs g++-mingw-w64-x86-64)" ON)
find_program(GLIMMER_MINGW_CXX x86_64-w64-mingw32-g++-posix)
set(GLIMMER_WINDOWS_PLAYER OFF)
if(GLIMMER_WINDOWS AND GLIMMER_MINGW_CXX)
  include(ExternalProject)
  ExternalProject_Add(glimmer_windows_player
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/player/win32
    BINARY_DIR ${CMAKE_BINARY_DIR}/win32
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DGLIMMER_SOURCE=${CMAKE_SOURCE_DIR}
      -DGLIMMER_OUT=${GLIMMER_OUT}
      # The host's flags (a Debian build has dpkg-buildflags' in the
      # environment) are for ELF and this system's C library, not Windows:
      # the Windows build sets its own.
      -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS=
      -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    # Its own build knows when its sources changed.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${GLIMMER_OUT}/GLIMMER.EXE
    INSTALL_COMMAND "")
  add_dependencies(glimmer glimmer_windows_player)
  set(GLIMMER_WINDOWS_PLAYER ON)
elseif(GLIMMER_WINDOWS)
  message(STATUS "GLIMMER.EXE is not built: x86_64-w64-mingw32-g++-posix is missing (scripts/install-deps installs it)")
endif()
