# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, which std::thread and std::mutex need). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORSI_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORSI_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORSI_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KORSI_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORSI_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and the test discovery start the .exe files under Wine.
find_program(KORSI_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# A Wine prefix of the build's own (made on first start), no debug chatter,
# and no offer to install Mono or Gecko, which would want a display.
if(KORSI_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${KORSI_WINE})
endif()
