# Sanitizer and fuzzing builds.
#
# GLIMMER_SANITIZE: everything (program, player, tests) with AddressSanitizer
#   and UndefinedBehaviorSanitizer; any finding stops the program that made it,
#   so a test run that passes is a clean one (scripts/check-sanitize).
# GLIMMER_FUZZ: the same sanitizers plus libFuzzer's coverage, with clang; the
#   fuzz targets of fuzz/ are added (scripts/run-fuzzers). Qt stays the system's
#   g++-built one: both compilers use libstdc++ and the same C++ ABI.
option(GLIMMER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(GLIMMER_FUZZ "Build the libFuzzer targets of fuzz/ (clang)" OFF)

if(GLIMMER_SANITIZE OR GLIMMER_FUZZ)
  set(GLIMMER_SANITIZER_FLAGS -fsanitize=address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${GLIMMER_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

if(GLIMMER_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GLIMMER_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage for every library; only the fuzz targets link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
