# KORSI_FUZZ: the libFuzzer flavour. Every library is built with the fuzzer's
# coverage hooks and the address and undefined-behaviour sanitizers; only the
# fuzz targets (tests/fuzz) link the fuzzer's own main.
option(KORSI_FUZZ "Build the libFuzzer targets of tests/fuzz (clang only)" OFF)

if(KORSI_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KORSI_FUZZ needs clang (scripts/build.sh fuzz chooses it)")
  endif()
  if(KORSI_SANITIZE)
    message(FATAL_ERROR "KORSI_FUZZ brings its own sanitizers; leave KORSI_SANITIZE empty")
  endif()
  message(STATUS "Fuzzing: libFuzzer with address,undefined")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1)
  add_link_options(-fsanitize=address,undefined)
  # The standard library checks every index into a byte queue, so a write one
  # past a frame's end is a finding even where the memory happens to exist.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()
